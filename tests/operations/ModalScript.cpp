#include "ModalScript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

std::string kindOf(QWidget* widget)
{
    if (qobject_cast<QMessageBox*>(widget))
        return "QMessageBox";
    return widget->objectName().toStdString();
}

SeenDialog describe(QWidget* widget)
{
    SeenDialog seen{kindOf(widget), std::string(), 0, {}};
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        seen.text = box->text().toStdString();
        for (QAbstractButton* button : box->buttons())
            seen.buttons.push_back(button->text().toStdString());
    } else if (QLabel* label = widget->findChild<QLabel*>("label_Text")) {
        seen.text = label->text().toStdString();
        if (QLabel* icon = widget->findChild<QLabel*>("label_Icon"))
            seen.iconKind = icon->property("iconKind").toUInt();
    }
    return seen;
}

void closeAll()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget))
            if (dialog->isVisible())
                dialog->done(QDialog::Rejected);
}

QAbstractButton* boxButton(QWidget* widget, QMessageBox::ButtonRole role)
{
    auto* box = qobject_cast<QMessageBox*>(widget);
    EXPECT_NE(box, nullptr);
    if (!box)
        return nullptr;
    for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == role)
            return button;
    ADD_FAILURE() << "no button of that role in " << box->text().toStdString();
    return nullptr;
}

void type(QWidget* dialog, const char* name, const std::string& text)
{
    QLineEdit* edit = dialog->findChild<QLineEdit*>(name);
    ASSERT_NE(edit, nullptr) << name;
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(text));
}

void click(QWidget* dialog, const char* name)
{
    QPushButton* button = dialog->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

ModalScript::ModalScript(int timeoutMs) : m_deadline(QDateTime::currentMSecsSinceEpoch() + timeoutMs)
{
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    m_timer.start();
}

ModalScript::~ModalScript()
{
    m_timer.stop();
    EXPECT_TRUE(m_steps.empty()) << "dialog " << (m_steps.empty() ? "" : m_steps.front().kind) << " never showed";
}

ModalScript& ModalScript::then(const std::string& kind, Action action)
{
    m_steps.push_back({kind, std::move(action)});
    return *this;
}

void ModalScript::tick()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && modal != m_last.data()) {
        const std::string kind = kindOf(modal);
        // The format's progress dialog ends by itself.
        if (kind == "ZTUIExFormatDialog")
            return;
        m_last = modal;
        m_seen.push_back(describe(modal));
        if (!m_steps.empty() && m_steps.front().kind == kind) {
            Step step = m_steps.front();
            m_steps.pop_front();
            // Outside this tick: an action that opens the next modal dialog
            // would otherwise hold the timer that has to drive it.
            QPointer<QWidget> target(modal);
            QTimer::singleShot(0, [target, step] {
                if (target)
                    step.action(target.data());
            });
            return;
        }
        ADD_FAILURE() << "unexpected dialog " << kind << ": " << m_seen.back().text;
        closeAll();
        return;
    }
    if (!m_steps.empty() && QDateTime::currentMSecsSinceEpoch() > m_deadline) {
        ADD_FAILURE() << "dialog " << m_steps.front().kind << " did not show";
        m_steps.clear();
        closeAll();
    }
}

void pressConfirm(QWidget* box)
{
    if (QAbstractButton* button = boxButton(box, QMessageBox::AcceptRole))
        button->click();
}

void pressCancel(QWidget* box)
{
    if (QAbstractButton* button = boxButton(box, QMessageBox::RejectRole))
        button->click();
}

void pressOk(QWidget* dialog)
{
    click(dialog, "pushButton_OK");
}

void pressDialogCancel(QWidget* dialog)
{
    click(dialog, "pushButton_Cancel");
}

void setNewPin(QWidget* dialog, const std::string& pin)
{
    type(dialog, "lineEdit_NewPin", pin);
    type(dialog, "lineEdit_ConfirmPin", pin);
    click(dialog, "pushButton_OK");
}

void changePin(QWidget* dialog, const std::string& oldPin, const std::string& newPin)
{
    type(dialog, "lineEdit_OldPin", oldPin);
    setNewPin(dialog, newPin);
}

void enterPin(QWidget* dialog, const std::string& pin)
{
    type(dialog, "lineEdit_Pin", pin);
    click(dialog, "pushButton_OK");
}
