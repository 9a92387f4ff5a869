// The manager's own message box and the translated printf formats.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstring>
#include <functional>

#include "TestRoot.h"
#include "manager/TranslatedFormat.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "manager/MessageBoxes.h"
#include "common/global_def_var.h"

namespace {

struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString title, text;
};

// Runs MessageBox, looks at the box once it is up and presses a button
// chosen by act (or Escape when it returns null).
int runBox(unsigned flags, SeenBox* seen, const std::function<QAbstractButton*(QMessageBox*)>& act)
{
    *seen = SeenBox();
    QTimer::singleShot(0, [&] {
        QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen->icon = box->icon();
        seen->title = box->windowTitle();
        seen->text = box->text();
        for (QAbstractButton* b : box->buttons())
            seen->buttons << b->text();
        seen->buttons.sort();
        if (QAbstractButton* button = act(box))
            button->click();
        else
            box->reject();
    });
    return MessageBox(nullptr, "Format_Prompt_One", "MessageBox_Title_Notice", flags, "Continue_Formatting_Btn");
}

QAbstractButton* buttonWithText(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text)
            return b;
    return nullptr;
}

class MessageBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        snprintf(g_szLanguageQmFileName, ZT_PATH_LEN, "%s/1033.qm", ZVIT_TEST_LANGUAGE_DIR);
    }
    void TearDown() override { g_szLanguageQmFileName[0] = '\0'; }
};

}  // namespace

TEST_F(MessageBoxTest, ConfirmBoxHasWarningIconAndReportsWhichButtonWasPressed)
{
    SeenBox seen;
    EXPECT_EQ(runBox(0x31, &seen, [](QMessageBox* b) { return buttonWithText(b, "Cancel"); }), 2);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QStringList({"Cancel", "Continue"}));
    EXPECT_EQ(seen.title, "Notice");
    EXPECT_EQ(seen.text, "Formatting erases every certificate and all data on the key. Continue?");

    EXPECT_EQ(runBox(0x31, &seen, [](QMessageBox* b) { return buttonWithText(b, "Continue"); }), 1);
    // Closing the box is no confirmation.
    EXPECT_EQ(runBox(0x31, &seen, [](QMessageBox*) { return nullptr; }), 2);
    // The translator lives only for the call.
    EXPECT_EQ(QCoreApplication::translate("QObject", "Cancel"), "Cancel");
    EXPECT_EQ(QCoreApplication::translate("QObject", "Format_Prompt_One"), "Format_Prompt_One");
}

TEST_F(MessageBoxTest, IconAndButtonsFollowTheFlags)
{
    SeenBox seen;
    EXPECT_EQ(runBox(0x40, &seen, [](QMessageBox* b) { return b->buttons().value(0); }), 1);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
    runBox(0x10, &seen, [](QMessageBox* b) { return b->buttons().value(0); });
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    runBox(0x20, &seen, [](QMessageBox* b) { return b->buttons().value(0); });
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    runBox(0x00, &seen, [](QMessageBox* b) { return b->buttons().value(0); });
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    // Only 1 in the low bits asks for confirmation.
    runBox(0x32, &seen, [](QMessageBox* b) { return b->buttons().value(0); });
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
}

TEST(TranslatedFormat, FormatsWhoseConversionsMatchTheArgumentsAreUsed)
{
    EXPECT_EQ(formatTranslated("Key %s found; PIN attempts left: %lu", "sl", "K1", 7ul), "Key K1 found; PIN attempts left: 7");
    // A prefix of the arguments is enough; a key without translation has none.
    EXPECT_EQ(formatTranslated("Key %s holds no certificate.", "sl", "K1", 7ul), "Key K1 holds no certificate.");
    EXPECT_EQ(formatTranslated("DEV_Not_Have_Cert", "sl", "K1", 7ul), "DEV_Not_Have_Cert");
    EXPECT_EQ(formatTranslated("100%% %04d-%2d", "dd", 7, 3), "100% 0007- 3");
    EXPECT_EQ(formatTranslated(QString::fromUtf8("有效期 %d 至 %d"), "dd", 2025, 2035), QString::fromUtf8("有效期 2025 至 2035"));
}

TEST(TranslatedFormat, FormatsThatWouldMisreadTheArgumentsAreShownAsText)
{
    // A damaged or hostile language file must not make printf read or write
    // what was never passed.
    for (const char* bad : {"%n", "%s %s", "%d", "%s %s %s", "%ls", "%lu then %s", "%*d", "%1$s", "%p", "%f", "tail %"}) {
        EXPECT_FALSE(formatFitsArguments(bad, "sl")) << bad;
        EXPECT_EQ(formatTranslated(bad, "sl", "K1", 7ul), QString(bad)) << bad;
    }
    EXPECT_FALSE(formatFitsArguments("%d %d %d %d %d %d %d", "dddddd"));
    EXPECT_TRUE(formatFitsArguments("%s %lu", "sl"));
}

TEST(TranslatedFormat, LongResultsAreCutNotOverflowed)
{
    const QString longText = QString(2000, 'x') + "%s";
    const QString out = formatTranslated(longText, "s", "tail");
    EXPECT_EQ(out.size(), 1023);
}

namespace {

std::string g_seenText, g_seenTitle;
uint32_t g_seenFlags = 0;

uint32_t recordingMessageBox(const char* text, const char* title, uint32_t flags, uint32_t)
{
    g_seenText = text;
    g_seenTitle = title;
    g_seenFlags = flags;
    return 2;
}

}  // namespace

TEST(DisplayMsg, PassesKeysToTheLibraryCutToItsBuffersOnACharacterBoundary)
{
    PFN_ZTUIEx_MessageBox saved = fn_ZTUIEx_MessageBox;
    fn_ZTUIEx_MessageBox = recordingMessageBox;
    QString text = QStringLiteral("Refresh_Success");
    QString title = QStringLiteral("MessageBox_Title_Notice");
    EXPECT_EQ(DisplayMsg(&text, &title, 64, 0), 2);
    EXPECT_EQ(g_seenText, "Refresh_Success");
    EXPECT_EQ(g_seenTitle, "MessageBox_Title_Notice");
    EXPECT_EQ(g_seenFlags, 64u);

    // 300 three-byte characters: 86 of them fit in 259 bytes.
    QString longText(300, QChar(0x4E2D));
    EXPECT_EQ(DisplayMsg(&longText, &title, 0, 0), 2);
    EXPECT_EQ(g_seenText.size(), 258u);
    EXPECT_EQ(QString::fromUtf8(g_seenText.c_str()), QString(86, QChar(0x4E2D)));

    // Without the library nothing is confirmed.
    fn_ZTUIEx_MessageBox = nullptr;
    EXPECT_EQ(DisplayMsg(&text, &title, 49, 0), 0);
    fn_ZTUIEx_MessageBox = saved;
}
