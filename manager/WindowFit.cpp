#include "WindowFit.h"

#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
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

}  // namespace

void fitToContent(QWidget* window)
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
    // Past the screen a text is cut whatever the window does; the rest shows.
    int widest = QWIDGETSIZE_MAX;
    if (const QScreen* screen = window->screen())
        widest = screen->availableGeometry().width() * 4 / 5;
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
