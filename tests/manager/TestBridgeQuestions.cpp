// The manager's dialogs that answer the web bridge: what they show, how an
// answer reaches every page that waits for it, and withdrawn questions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <vector>

#include "BridgeQuestions.h"
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

struct Answer {
    int calls = 0;
    bool yes = false;
    bool remember = false;
};

}  // namespace

TEST(BridgeQuestions, ConsentShowsTheWholeOriginAndAnswersEveryPageOfIt)
{
    BridgeQuestions questions;
    Answer first, second, other;
    const QString origin = "https://xn--bnk-sna.example:8443";
    questions.askSiteConsent(origin, true, [&](bool a, bool r) { first = {first.calls + 1, a, r}; });
    questions.askSiteConsent(origin, true, [&](bool a, bool r) { second = {second.calls + 1, a, r}; });
    questions.askSiteConsent("https://other.example", true, [&](bool a, bool r) { other = {other.calls + 1, a, r}; });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kConsentDialogName).size() == 2; }));

    QDialog* dialog = nullptr;
    for (QDialog* d : openDialogs(BridgeQuestions::kConsentDialogName)) {
        if (d->findChild<QLabel*>("label_origin")->text() == origin)
            dialog = d;
    }
    ASSERT_NE(dialog, nullptr) << "the origin is shown whole";
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint) << "raised while the manager sits in the tray";
    EXPECT_TRUE(dialog->findChild<QPushButton*>("pushButton_deny")->isDefault()) << "Enter must not allow";
    dialog->findChild<QCheckBox*>("checkBox_remember")->setChecked(true);
    dialog->findChild<QPushButton*>("pushButton_allow")->click();

    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
    EXPECT_TRUE(first.yes && first.remember && second.yes && second.remember);
    EXPECT_EQ(other.calls, 0) << "another site is asked on its own";

    // Closing the window is no permission.
    QDialog* left = openDialogs(BridgeQuestions::kConsentDialogName).front();
    left->close();
    EXPECT_EQ(other.calls, 1);
    EXPECT_FALSE(other.yes);
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
    std::vector<bool> answers;
    questions.confirmLastPinAttempt("https://bank.example", [&](bool go) { answers.push_back(go); });
    // A consent question of the same site is a different question.
    Answer consent;
    questions.askSiteConsent("https://bank.example", true, [&](bool a, bool r) { consent = {1, a, r}; });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kLastAttemptDialogName).size() == 1; }));
    QDialog* dialog = openDialogs(BridgeQuestions::kLastAttemptDialogName).front();
    EXPECT_TRUE(dialog->findChild<QPushButton*>("pushButton_cancel")->isDefault());
    dialog->findChild<QPushButton*>("pushButton_cancel")->click();
    EXPECT_EQ(answers, std::vector<bool> {false});
    EXPECT_EQ(consent.calls, 0);

    questions.confirmLastPinAttempt("https://bank.example", [&](bool go) { answers.push_back(go); });
    ASSERT_TRUE(waitUntil([] { return openDialogs(BridgeQuestions::kLastAttemptDialogName).size() == 1; }));
    openDialogs(BridgeQuestions::kLastAttemptDialogName).front()->findChild<QPushButton*>("pushButton_proceed")->click();
    EXPECT_EQ(answers, (std::vector<bool> {false, true}));
}
