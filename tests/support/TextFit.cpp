#include "TextFit.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>

namespace {

QString describe(const QWidget* widget, const QString& text, int needed, int room)
{
    return QStringLiteral("%1 \"%2\": needs %3, has %4")
        .arg(widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                            : widget->objectName(),
             text)
        .arg(needed)
        .arg(room);
}

int lineWidth(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

void checkLabel(const QLabel* label, QStringList* cut)
{
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text()))
        return;
    const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                      -label->margin());
    const QFontMetrics metrics = label->fontMetrics();
    if (label->wordWrap()) {
        // Measured as the label measures itself: vertical centring in a tall
        // rectangle would add a pixel of rounding.
        const int flags = Qt::TextWordWrap | (label->alignment() & ~(Qt::AlignVCenter | Qt::AlignHCenter));
        const int height = metrics.boundingRect(QRect(0, 0, room.width(), 100000), flags, label->text()).height();
        if (height > room.height())
            *cut << describe(label, label->text(), height, room.height()) + " (height)";
        return;
    }
    const int width = lineWidth(metrics, label->text());
    if (width > room.width())
        *cut << describe(label, label->text(), width, room.width());
}

// What a button draws beside its text: the icon and the gap Qt's styles leave.
int iconRoom(const QAbstractButton* button)
{
    return button->icon().isNull() ? 0 : button->iconSize().width() + 4;
}

void checkPushButton(QPushButton* button, QStringList* cut)
{
    if (button->text().isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = button->autoDefault() || button->isDefault() ? QStyleOptionButton::AutoDefaultButton
                                                                   : QStyleOptionButton::None;
    const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QString text = QString(button->text()).remove(QLatin1Char('&'));
    const int width = lineWidth(button->fontMetrics(), text) + iconRoom(button);
    if (width > room.width())
        *cut << describe(button, text, width, room.width());
}

void checkCheckBox(QCheckBox* box, QStringList* cut)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const QString text = QString(box->text()).remove(QLatin1Char('&'));
    const int width = lineWidth(box->fontMetrics(), text) + iconRoom(box);
    if (width > room.width())
        *cut << describe(box, text, width, room.width());
}

void checkTabs(const QTabBar* bar, QStringList* cut)
{
    const int frame = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
    for (int i = 0; i < bar->count(); ++i) {
        const QString text = bar->tabText(i).remove(QLatin1Char('&'));
        const int width = bar->fontMetrics().horizontalAdvance(text) + frame;
        if (width > bar->tabRect(i).width())
            *cut << describe(bar, text, width, bar->tabRect(i).width());
    }
}

// An item needs what its delegate asks for, from where its column begins,
// and within what the viewport shows without scrolling.
void checkItem(const QAbstractItemView* view, const QModelIndex& index, int indent, int columnLeft,
               int columnWidth, QStringList* cut)
{
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.font = view->font();
    option.decorationSize = view->iconSize().isValid() ? view->iconSize() : QSize(16, 16);
    option.features = QStyleOptionViewItem::HasDisplay;
    const int needed = indent + view->itemDelegate(index)->sizeHint(option, index).width();
    const int room = qMin(columnWidth, view->viewport()->width() - columnLeft);
    if (needed > room)
        *cut << describe(view, index.data().toString(), needed, room);
}

void checkTree(QTreeWidget* tree, QStringList* cut)
{
    const QAbstractItemModel* model = tree->model();
    const int firstIndent = tree->rootIsDecorated() ? tree->indentation() : 0;
    std::function<void(const QModelIndex&, int)> visit = [&](const QModelIndex& parent, int depth) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            for (int column = 0; column < model->columnCount(parent); ++column) {
                const QModelIndex index = model->index(row, column, parent);
                if (tree->isColumnHidden(column) || index.data().toString().isEmpty())
                    continue;
                const int indent = column == 0 ? firstIndent + depth * tree->indentation() : 0;
                checkItem(tree, index, indent, tree->header()->sectionPosition(column), tree->columnWidth(column),
                          cut);
            }
            visit(model->index(row, 0, parent), depth + 1);
        }
    };
    visit(QModelIndex(), 0);
}

void checkTable(QTableWidget* table, QStringList* cut)
{
    // A column whose texts are read in full elsewhere (the viewer's detail
    // box) says so; its cells may be elided.
    bool flagged = false;
    const int shownElsewhere = table->property("zvitColumnShownElsewhere").toInt(&flagged);
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            if (flagged && column == shownElsewhere)
                continue;
            if (table->item(row, column) && !table->item(row, column)->text().isEmpty())
                checkItem(table, table->model()->index(row, column), 0,
                          table->horizontalHeader()->sectionPosition(column), table->columnWidth(column), cut);
        }
    }
}

void checkStatusBar(const QStatusBar* bar, QStringList* cut)
{
    // Qt draws the message 6 pixels from the left and stops 12 short of the right.
    const int room = bar->width() - 18;
    const int width = bar->fontMetrics().horizontalAdvance(bar->currentMessage());
    if (!bar->currentMessage().isEmpty() && width > room)
        *cut << describe(bar, bar->currentMessage(), width, room);
}

void checkOne(QWidget* widget, QStringList* cut)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        checkLabel(label, cut);
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        checkPushButton(button, cut);
    else if (auto* box = qobject_cast<QCheckBox*>(widget))
        checkCheckBox(box, cut);
    else if (auto* bar = qobject_cast<QTabBar*>(widget))
        checkTabs(bar, cut);
    else if (auto* tree = qobject_cast<QTreeWidget*>(widget))
        checkTree(tree, cut);
    else if (auto* table = qobject_cast<QTableWidget*>(widget))
        checkTable(table, cut);
    else if (auto* status = qobject_cast<QStatusBar*>(widget))
        checkStatusBar(status, cut);
}

}  // namespace

QStringList cutTexts(QWidget* window)
{
    QStringList cut;
    checkOne(window, &cut);
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->isVisibleTo(window) && widget->window() == window)
            checkOne(widget, &cut);
    }
    return cut;
}

void expectWrapperDpi(QWidget* window)
{
    if (const char* dpi = getenv("ZVIT_TEST_EXPECT_DPI")) {
        EXPECT_EQ(window->logicalDpiY(), atoi(dpi)) << "the display does not have the DPI the wrapper set";
    }
    if (const char* ratio = getenv("ZVIT_TEST_EXPECT_RATIO")) {
        EXPECT_EQ(window->devicePixelRatioF(), atof(ratio)) << "the scale factor did not take effect";
    }
}

void shootIfAsked(QWidget* window, const QString& name)
{
    const QString folder = QString::fromLocal8Bit(qgetenv("ZVIT_TEST_SHOTS"));
    if (folder.isEmpty())
        return;
    // The window manager frames and the window paints after it is exposed.
    QTest::qWait(300);
    QScreen* screen = window->screen();
    const QRect frame = window->frameGeometry().adjusted(-8, -8, 8, 8);
    screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(folder + "/" + name + ".png");
}
