#include "WindowFit.h"

#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>

namespace {

const char kDesignedSize[] = "zvitDesignedSize";
const int kFrameAllowance = 48;
// Where Qt draws a status message: 6 pixels in from the left, 12 from the right.
const int kStatusMessageMargins = 18;

// A window not yet shown lays itself out only when shown; sizing it needs
// the children's widths now.
void layOutNow(QWidget* widget)
{
    if (QLayout* layout = widget->layout()) {
        layout->activate();
        layout->setGeometry(widget->rect());
    }
    for (QWidget* child : widget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            layOutNow(child);
    }
}

// Never smaller than the size the window had the first time (its designed
// size), proportionally larger for larger text.
QSize designedSize(QWidget* window)
{
    QSize designed = window->property(kDesignedSize).toSize();
    if (!designed.isValid()) {
        designed = window->size();
        window->setProperty(kDesignedSize, designed);
    }
    // Larger text (Xft.dpi 120, 192) gets a proportionally larger window, so
    // the tree keeps room for the names; QT_SCALE_FACTOR leaves it at 96.
    const int dpi = window->logicalDpiY();
    if (dpi > 96)
        designed = designed * (dpi / 96.0);
    // Room for the title bar on small screens; the content's minimum wins.
    if (const QScreen* screen = window->screen())
        designed = designed.boundedTo(screen->availableGeometry().size() - QSize(0, kFrameAllowance));
    return designed;
}

int widestText(const QWidget* window)
{
    // Past the screen a text is cut whatever the window does; the rest shows.
    if (const QScreen* screen = window->screen())
        return screen->availableGeometry().width() * 4 / 5;
    return QWIDGETSIZE_MAX;
}

}  // namespace

void fitToContent(QWidget* window)
{
    const QSize designed = designedSize(window);
    // Twice: a banner's height follows the width the first pass gives it.
    for (int pass = 0; pass < 2; ++pass) {
        window->setMinimumSize(0, 0);
        window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (QLayout* layout = window->layout())
            layout->activate();
        // The minimum holds every text whole; the tree takes what is left.
        window->setFixedSize(designed.expandedTo(window->minimumSizeHint()));
        layOutNow(window);
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (child->hasHeightForWidth() && child->sizePolicy().verticalPolicy() == QSizePolicy::Fixed)
                child->setFixedHeight(child->heightForWidth(child->width()));
        }
    }
}

void fitToTexts(QWidget* window, QTreeWidget* tree, QStatusBar* status)
{
    const int widest = widestText(window);
    if (tree) {
        // The tree's own measure (public on the base class): icon, text, indentation.
        const QAbstractItemView* view = tree;
        int width = view->sizeHintForColumn(0) + 2 * tree->frameWidth();
        if (tree->verticalScrollBar()->isVisible())
            width += tree->verticalScrollBar()->width();
        tree->setMinimumWidth(qMin(width, widest));
    }
    if (status) {
        const QString message = status->currentMessage();
        const int width = message.isEmpty() ? 0 : status->fontMetrics().horizontalAdvance(message) + kStatusMessageMargins;
        status->setMinimumWidth(qMin(width, widest));
    }
    fitToContent(window);
}

void growToContent(QWidget* window)
{
    const QSize designed = designedSize(window);
    if (QLayout* layout = window->layout())
        layout->activate();
    window->resize(designed.expandedTo(window->minimumSizeHint()));
}

void fitTableToTexts(QTableWidget* table, int elidedColumn)
{
    QHeaderView* header = table->horizontalHeader();
    int width = 2 * table->frameWidth();
    for (int column = 0; column < table->columnCount(); ++column) {
        int needed = header->sectionSizeHint(column);
        if (column != elidedColumn)
            needed = qMax(needed, static_cast<const QAbstractItemView*>(table)->sizeHintForColumn(column));
        // A stretched last section takes what is left; its width is not its need.
        if (!(header->stretchLastSection() && column == table->columnCount() - 1))
            table->setColumnWidth(column, needed);
        width += needed;
    }
    // Rows past the table's height bring a scroll bar that takes from the columns.
    width += table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    table->setMinimumWidth(qMin(width, widestText(table->window())));
}
