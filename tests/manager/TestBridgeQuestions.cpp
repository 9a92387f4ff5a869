// The manager's dialogs that answer the web bridge: what they show, how an
// answer reaches every page that waits for it, and withdrawn questions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <vector>

#include "manager/BridgeQuestions.h"
#include "QtWait.h"

namespace {

std::vector<QDialog*> openDialogs(const char* name)
{
    std::vector<QDialog*> out;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(w);
        if (dialog && dialog->isVisible() && dialog->objectName() == QLatin1String(name))
            out.push_back(dialog);
    }
    return out;
}

// Clicks once the dialog takes input again.
void clickWhenEnabled(QDialog* dialog, const char* name)
{
    auto* button = dialog->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    ASSERT_TRUE(waitUntil([&] { return button->isEnabledTo(dialog) && button->isEnabled(); }, 3000)) << name;
    button->click();
}

struct Answer {
    int calls = 0;
    bool yes = false;
    bool remember = false;
};

}  // namespace

TEST(BridgeQuestions, ConsentShowsTheWholeOriginAndAnswersEveryPageOfIt)
{
    BridgeQuestions questions;
    questions.setInputDelayMs(10);
    Answer first, second, other;
    const QString origin = "https://xn--bnk-sna.example:8443";
    questions.askSiteConsent(origin, true, [&](bool a, bool r) { first = {first.calls + 1, a, r}; });
    questions.askSiteConsent(origin, true, [&](bool a, bool r) { second = {second.calls + 1, a, r}; });
    questions.askSiteConsent("https://other.example", true, [&](bool a, bool r) { other = {other.calls + 1, a, r}; });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kConsentDialogName).size() == 1; }));

    // One question at a time, the first asked, naming the others.
    QDialog* dialog = openDialogs(BridgeQuestions::kConsentDialogName).front();
    EXPECT_EQ(dialog->findChild<QLabel*>("label_origin")->text(), origin) << "the origin is shown whole";
    EXPECT_TRUE(dialog->findChild<QLabel*>("label_waiting")->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint) << "raised while the manager sits in the tray";
    EXPECT_TRUE(dialog->findChild<QPushButton*>("pushButton_deny")->isDefault()) << "Enter must not allow";
    dialog->findChild<QCheckBox*>("checkBox_remember")->setChecked(true);
    clickWhenEnabled(dialog, "pushButton_allow");

    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
    EXPECT_TRUE(first.yes && first.remember && second.yes && second.remember);
    EXPECT_EQ(other.calls, 0) << "another site is asked on its own";

    // Closing the window is no permission.
    ASSERT_TRUE(waitUntil([&] {
        const auto open = openDialogs(BridgeQuestions::kConsentDialogName);
        return open.size() == 1 && open.front() != dialog;
    }));
    QDialog* left = openDialogs(BridgeQuestions::kConsentDialogName).front();
    EXPECT_FALSE(left->findChild<QLabel*>("label_waiting")->isVisibleTo(left));
    left->close();
    EXPECT_EQ(other.calls, 1);
    EXPECT_FALSE(other.yes);
}

// A page that connects while the user types or clicks must not get the
// keys or a click aimed at the dialog before.
TEST(BridgeQuestions, AQuestionIgnoresInputAtFirst)
{
    BridgeQuestions questions;
    Answer page;
    questions.askSiteConsent("https://evil.example", true, [&](bool a, bool r) { page = {page.calls + 1, a, r}; });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kConsentDialogName).size() == 1; }));
    QDialog* dialog = openDialogs(BridgeQuestions::kConsentDialogName).front();
    auto* allow = dialog->findChild<QPushButton*>("pushButton_allow");
    allow->click();
    EXPECT_EQ(page.calls, 0) << "a click at once is ignored";
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return allow->isEnabled(); }, 3000));
    EXPECT_GE(clock.elapsed(), 800);
    allow->click();
    EXPECT_EQ(page.calls, 1);
}

TEST(BridgeQuestions, OriginsAskedEveryTimeCannotBeRememberedAndWithdrawnQuestionsStaySilent)
{
    BridgeQuestions questions;
    Answer page;
    const int id = questions.askSiteConsent("null", false, [&](bool a, bool r) { page = {page.calls + 1, a, r}; });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kConsentDialogName).size() == 1; }));
    QDialog* dialog = openDialogs(BridgeQuestions::kConsentDialogName).front();
    EXPECT_FALSE(dialog->findChild<QCheckBox*>("checkBox_remember")->isEnabled());

    questions.withdraw(id);
    EXPECT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kConsentDialogName).empty(); }));
    EXPECT_EQ(page.calls, 0);
    questions.withdraw(id);  // twice is harmless
}

TEST(BridgeQuestions, TheLastPinAttemptIsSentOnlyWhenConfirmed)
{
    BridgeQuestions questions;
    questions.setInputDelayMs(10);
    std::vector<bool> answers;
    questions.confirmLastPinAttempt("https://bank.example", [&](bool go) { answers.push_back(go); });
    // A consent question of the same site is a different question.
    Answer consent;
    questions.askSiteConsent("https://bank.example", true, [&](bool a, bool r) { consent = {1, a, r}; });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kLastAttemptDialogName).size() == 1; }));
    QDialog* dialog = openDialogs(BridgeQuestions::kLastAttemptDialogName).front();
    EXPECT_TRUE(dialog->findChild<QPushButton*>("pushButton_cancel")->isDefault());
    clickWhenEnabled(dialog, "pushButton_cancel");
    EXPECT_EQ(answers, std::vector<bool> {false});
    EXPECT_EQ(consent.calls, 0);
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kConsentDialogName).size() == 1; }));
    openDialogs(BridgeQuestions::kConsentDialogName).front()->close();

    questions.confirmLastPinAttempt("https://bank.example", [&](bool go) { answers.push_back(go); });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kLastAttemptDialogName).size() == 1; }));
    clickWhenEnabled(openDialogs(BridgeQuestions::kLastAttemptDialogName).front(), "pushButton_proceed");
    EXPECT_EQ(answers, (std::vector<bool> {false, true}));
}
