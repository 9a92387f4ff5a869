#include "DialogParts.h"

#include <QBoxLayout>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "KeyAccess.h"
#include "UiContext.h"
#include "UiLanguage.h"

namespace uiex {

QPushButton* addOkCancelButtons(QDialog* dialog, QBoxLayout* layout, const Texts& texts)
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = makeButton(dialog, "pushButton_OK", texts.ui("Button_OK"));
    QPushButton* cancel = makeButton(dialog, "pushButton_Cancel", texts.ui("Button_Cancel"));
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return ok;
}

void prepareDialog(QDialog* dialog, const char* objectName, const QString& title)
{
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(title);
    // Title bars do not grow with their text: room for the title beside the
    // window manager's buttons, at the user's font size.
    QFont bold = dialog->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    dialog->setMinimumWidth(metrics.horizontalAdvance(title) + 8 * metrics.height());
    dialog->setModal(true);
    dialog->setWindowModality(dialog->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
}

QLabel* makeLabel(QWidget* parent, const char* objectName, const QString& text)
{
    QLabel* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    return label;
}

QLineEdit* makePinEdit(QWidget* parent, const char* objectName)
{
    QLineEdit* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(static_cast<int>(maxPinLength()));
    return edit;
}

void addLabelledRow(QFormLayout* form, QLabel* label, QWidget* field)
{
    form->addRow(label, field);
    // Screen readers say the label's words ("Old PIN"), not the object name.
    QString name = label->text().trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A)))
        name.chop(1);
    field->setAccessibleName(name.trimmed());
}

QPushButton* makeButton(QWidget* parent, const char* objectName, const QString& text)
{
    QPushButton* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    // Return presses the focused button; without this it pressed the
    // dialog's default (OK) even with Cancel focused.
    button->setAutoDefault(true);
    return button;
}

QLabel* makeMessageLabel(QWidget* parent)
{
    QLabel* label = makeLabel(parent, "label_Message");
    label->setStyleSheet("color: #c00000;");
    label->hide();
    return label;
}

void showMessage(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
    // The dialog was sized without the message; one that wraps (large text,
    // long translations) would be cut at the bottom.
    QWidget* dialog = label->window();
    if (QLayout* layout = dialog->layout()) {
        layout->activate();
        const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(dialog->width())
                                                       : layout->totalMinimumSize().height();
        if (dialog->height() < needed)
            dialog->resize(dialog->width(), needed);
    }
}

void wipe(QLineEdit* edit)
{
    edit->setText(QString(edit->text().size(), QLatin1Char(' ')));
    edit->clear();
}

void wipe(std::string& text)
{
    volatile char* p = text.empty() ? nullptr : &text[0];
    for (size_t i = 0; i < text.size(); ++i)
        p[i] = 0;
    text.clear();
}

}  // namespace uiex
