// The PIN dialogs driven as a user would, over a real virtual key whose store
// counts every attempt.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QVariant>
#include <map>
#include <vector>

#include "ChildProcess.h"
#include "TextFit.h"
#include "standins/vtoken/Pin.h"
#include "UiTestKit.h"
#include "bindings/ZTUIExtend_fundef.h"

TEST(PinDialogs, RightPinVerifiesAndKeepsEveryAttempt)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    DialogDriver driver("ZTUIExVerifyPinDialog", [](QWidget* dialog) {
        EXPECT_NE(labelText(dialog, "label_Device").find("VK0000001"), std::string::npos);
        typeInto(dialog, "lineEdit_Pin", "Pin12345");
        clickButton(dialog, "pushButton_OK");
    });
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0u);
    EXPECT_TRUE(driver.ran());
    EXPECT_EQ(env.record().userPin.attemptsLeft, vtoken::kDefaultAttempts);
}

TEST(PinDialogs, WrongPinShowsAttemptsCountedInTheStoreAndAllowsAnotherTry)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    int storedWhileOpen = -1;
    DialogDriver driver("ZTUIExVerifyPinDialog", [&](QWidget* dialog) {
        typeInto(dialog, "lineEdit_Pin", "Wrong999");
        clickButton(dialog, "pushButton_OK");
        typeInto(dialog, "lineEdit_Pin", "Wrong998");
        clickButton(dialog, "pushButton_OK");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_NE(labelText(dialog, "label_Attempts").find("8"), std::string::npos);
        EXPECT_TRUE(child<QLabel>(dialog, "label_Message")->isVisibleTo(dialog));
        EXPECT_NE(labelText(dialog, "label_Message").find("8"), std::string::npos);
        // The field is emptied for the next try.
        EXPECT_TRUE(child<QLineEdit>(dialog, "lineEdit_Pin")->text().isEmpty());
        storedWhileOpen = env.record().userPin.attemptsLeft;
        // A PIN too short for any key is refused in the dialog, costing nothing.
        typeInto(dialog, "lineEdit_Pin", "123");
        clickButton(dialog, "pushButton_OK");
        EXPECT_EQ(env.record().userPin.attemptsLeft, 8);
        typeInto(dialog, "lineEdit_Pin", "Pin12345");
        clickButton(dialog, "pushButton_OK");
    });
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0u);
    EXPECT_EQ(storedWhileOpen, 8);
    EXPECT_EQ(env.record().userPin.attemptsLeft, vtoken::kDefaultAttempts);
}

TEST(PinDialogs, EnterSubmitsOnceLikeTheOkButton)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    DialogDriver driver("ZTUIExVerifyPinDialog", [&](QWidget* d) {
        typeInto(d, "lineEdit_Pin", "Wrong999");
        QTest::keyClick(child<QLineEdit>(d, "lineEdit_Pin"), Qt::Key_Return);
        EXPECT_EQ(env.record().userPin.attemptsLeft, vtoken::kDefaultAttempts - 1);
        EXPECT_NE(labelText(d, "label_Message").find("9"), std::string::npos);
        typeInto(d, "lineEdit_Pin", "Pin12345");
        QTest::keyClick(child<QLineEdit>(d, "lineEdit_Pin"), Qt::Key_Enter);
    });
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0u);
}

TEST(PinDialogs, KeyboardAloneChangesThePinAndReturnOnCancelCancels)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    std::string before = env.recordBytes();
    auto typeAndTab = [](QWidget* d, const char* text) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return d;
    };
    {
        DialogDriver driver("ZTUIExChangePinDialog", [&](QWidget* d) {
            // Each field is read by its label's words, in the dialog's language.
            for (const char* name : {"OldPin", "NewPin", "ConfirmPin"}) {
                auto* edit = child<QLineEdit>(d, (std::string("lineEdit_") + name).c_str());
                QString label = QString::fromStdString(labelText(d, (std::string("label_") + name).c_str()));
                EXPECT_FALSE(edit->accessibleName().isEmpty()) << name;
                EXPECT_TRUE(label.startsWith(edit->accessibleName())) << name;
                EXPECT_FALSE(edit->accessibleName().endsWith(':')) << name;
            }
            typeAndTab(d, "Pin12345");
            QPushButton* cancel = child<QPushButton>(d, "pushButton_Cancel");
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        });
        EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0x30003003u);
    }
    EXPECT_EQ(env.recordBytes(), before);
    {
        DialogDriver driver("ZTUIExChangePinDialog", [&](QWidget* d) {
            typeAndTab(d, "Pin12345");
            typeAndTab(d, "Next5678");
            QTest::keyClicks(QApplication::focusWidget(), "Next5678");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0u);
    }
    EXPECT_NE(env.recordBytes(), before);
}

TEST(PinDialogs, CancelGivesEachDialogsOwnCode)
{
    KeySetup setup;
    setup.pinChanged = false;
    UiKeyEnvironment env(setup);
    ASSERT_TRUE(env.ready());
    std::string before = env.recordBytes();
    {
        DialogDriver driver("ZTUIExVerifyPinDialog", [](QWidget* d) { clickButton(d, "pushButton_Cancel"); });
        EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0x30002003u);
    }
    {
        DialogDriver driver("ZTUIExChangePinDialog", [](QWidget* d) {
            typeInto(d, "lineEdit_OldPin", "Pin12345");
            clickButton(d, "pushButton_Cancel");
        });
        EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0x30003003u);
    }
    {
        DialogDriver driver("ZTUIExSetPinDialog", [](QWidget* d) { clickButton(d, "pushButton_Cancel"); });
        EXPECT_EQ(fn_ZTUIEx_SetPin(env.handle(), 1), 0x30004003u);
    }
    EXPECT_EQ(env.recordBytes(), before);
}

TEST(PinDialogs, LockedKeyIsReportedWithoutADialogAndTheLastWrongPinLocksIt)
{
    KeySetup setup;
    setup.attempts = 1;
    UiKeyEnvironment env(setup);
    ASSERT_TRUE(env.ready());
    DialogDriver driver("ZTUIExVerifyPinDialog", [](QWidget* d) {
        typeInto(d, "lineEdit_Pin", "Wrong999");
        clickButton(d, "pushButton_OK");
    });
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0x10000412u);
    EXPECT_EQ(env.record().userPin.attemptsLeft, 0);
    // Now locked: every PIN dialog answers at once.
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0x10000412u);
    EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0x10000412u);
}

TEST(PinDialogs, ChangeRefusesBadNewPinsInsideTheDialogThenChangesForOtherProcesses)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    std::string before = env.recordBytes();
    DialogDriver driver("ZTUIExChangePinDialog", [&](QWidget* d) {
        typeInto(d, "lineEdit_OldPin", "Pin12345");
        typeInto(d, "lineEdit_NewPin", "Abcdef12");
        EXPECT_EQ(child<QLabel>(d, "label_Strength")->property("pinDegree").toUInt(), 0xFF02u);
        typeInto(d, "lineEdit_ConfirmPin", "Abcdef13");
        clickButton(d, "pushButton_OK");
        std::string mismatch = labelText(d, "label_Message");
        typeInto(d, "lineEdit_NewPin", "Ab1");
        typeInto(d, "lineEdit_ConfirmPin", "Ab1");
        EXPECT_EQ(child<QLabel>(d, "label_Strength")->property("pinDegree").toUInt(), 0xFF00u);
        clickButton(d, "pushButton_OK");
        std::string tooShort = labelText(d, "label_Message");
        typeInto(d, "lineEdit_NewPin", "Pin12345");
        typeInto(d, "lineEdit_ConfirmPin", "Pin12345");
        clickButton(d, "pushButton_OK");
        std::string same = labelText(d, "label_Message");
        EXPECT_FALSE(mismatch.empty());
        EXPECT_FALSE(tooShort.empty());
        EXPECT_FALSE(same.empty());
        EXPECT_NE(mismatch, tooShort);
        EXPECT_NE(mismatch, same);
        // None of that reached the key.
        EXPECT_EQ(env.recordBytes(), before);
        typeInto(d, "lineEdit_OldPin", "Pin12345");
        typeInto(d, "lineEdit_NewPin", "abcdef12");
        EXPECT_EQ(child<QLabel>(d, "label_Strength")->property("pinDegree").toUInt(), 0xFF01u);
        typeInto(d, "lineEdit_ConfirmPin", "abcdef12");
        clickButton(d, "pushButton_OK");
    });
    EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0u);
    std::string folder = env.storeFolder(), serial = env.serial();
    pid_t child = forkChild([folder, serial] {
        vtoken::Store store(folder);
        bool oldRefused = store.verifyPin(serial, vtoken::PinKind::User, "Pin12345").status ==
                          vtoken::Status::PinIncorrect;
        bool newTaken = store.verifyPin(serial, vtoken::PinKind::User, "abcdef12").status == vtoken::Status::Ok;
        return oldRefused && newTaken ? 0 : 1;
    });
    EXPECT_EQ(waitChild(child), 0);
}

TEST(PinDialogs, WrongOldPinCostsAnAttemptAndKeepsTheDialogOpen)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    DialogDriver driver("ZTUIExChangePinDialog", [&](QWidget* d) {
        typeInto(d, "lineEdit_OldPin", "Wrong999");
        typeInto(d, "lineEdit_NewPin", "New12345");
        typeInto(d, "lineEdit_ConfirmPin", "New12345");
        clickButton(d, "pushButton_OK");
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(env.record().userPin.attemptsLeft, vtoken::kDefaultAttempts - 1);
        EXPECT_NE(labelText(d, "label_Attempts").find("9"), std::string::npos);
        clickButton(d, "pushButton_Cancel");
    });
    EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0x30003003u);
    EXPECT_TRUE(vtoken::pinMatches(env.record().userPin, "Pin12345"));
}

TEST(PinDialogs, SetPinOnlyReplacesAnInitialPin)
{
    KeySetup setup;
    setup.pinChanged = false;
    UiKeyEnvironment env(setup);
    ASSERT_TRUE(env.ready());
    DialogDriver driver("ZTUIExSetPinDialog", [&](QWidget* d) {
        // The initial PIN again would leave the key passing as changed.
        typeInto(d, "lineEdit_NewPin", "Pin12345");
        typeInto(d, "lineEdit_ConfirmPin", "Pin12345");
        clickButton(d, "pushButton_OK");
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(labelText(d, "label_Message").empty());
        EXPECT_FALSE(env.record().pinChanged);
        typeInto(d, "lineEdit_NewPin", "Mine2468");
        typeInto(d, "lineEdit_ConfirmPin", "Mine2468");
        clickButton(d, "pushButton_OK");
    });
    EXPECT_EQ(fn_ZTUIEx_SetPin(env.handle(), 1), 0u);
    vtoken::KeyRecord key = env.record();
    EXPECT_TRUE(key.pinChanged);
    EXPECT_TRUE(vtoken::pinMatches(key.userPin, "Mine2468"));
    // Once changed, setting without the old PIN is refused and nothing opens.
    std::string before = env.recordBytes();
    EXPECT_EQ(fn_ZTUIEx_SetPin(env.handle(), 1), ZTUIEX_ERR_ALREADY_SET);
    EXPECT_EQ(env.recordBytes(), before);
}

TEST(PinDialogs, BadArgumentsAreRefusedBeforeAnyDialog)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(nullptr, 1), ZTUIEX_ERR_INVALID_HANDLE);
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(reinterpret_cast<void*>(0x1234), 1), ZTUIEX_ERR_INVALID_HANDLE);
    EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 0), ZTUIEX_ERR_INVALID_ARG);
    EXPECT_EQ(fn_ZTUIEx_SetPin(env.handle(), 7), ZTUIEX_ERR_INVALID_ARG);
    // A key unplugged under an open handle: the token library's "no device".
    ASSERT_EQ(env.store().unplug(env.serial()), vtoken::Status::Ok);
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0x10000101u);
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(env.handle(), 0), 0x10000101u);
}

TEST(PinDialogs, OneDialogAtATime)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    uint32_t nested = 0;
    DialogDriver driver("ZTUIExVerifyPinDialog", [&](QWidget* d) {
        // A queued signal may call in while a dialog's event loop runs.
        nested = fn_ZTUIEx_ChangePin(env.handle(), 1);
        clickButton(d, "pushButton_Cancel");
    });
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), 0x30002003u);
    EXPECT_EQ(nested, ZTUIEX_ERR_BUSY);
}

namespace {

// Every visible text of a dialog that still looks like a translation key.
std::vector<std::string> untranslated(QWidget* dialog)
{
    QRegularExpression keyLike("^[A-Za-z]+(_[A-Za-z]+)+");
    std::vector<std::string> out;
    QStringList texts{dialog->windowTitle()};
    for (QLabel* label : dialog->findChildren<QLabel*>())
        texts << label->text();
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        texts << button->text();
    for (const QString& text : texts)
        if (keyLike.match(text).hasMatch())
            out.push_back(text.toStdString());
    return out;
}

}  // namespace

TEST(PinDialogs, EveryTextIsTranslatedInTheThreeLanguages)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    std::map<std::string, std::string> titles;
    for (const char* code : {"2052", "1033", "1028"}) {
        setIniValue(env.root().path("Languages/Language.ini"), "LanguageDefaultSetting", "language", code);
        DialogDriver driver("ZTUIExChangePinDialog", [&](QWidget* d) {
            titles[code] = d->windowTitle().toStdString();
            typeInto(d, "lineEdit_NewPin", "Abcdef12");  // strength shown
            std::vector<std::string> seen = untranslated(d);
            for (const char* oldPin : {"1", "Pin12345"}) {  // too short, then a mismatch
                typeInto(d, "lineEdit_OldPin", oldPin);
                typeInto(d, "lineEdit_ConfirmPin", "Abcdef13");
                clickButton(d, "pushButton_OK");
                std::vector<std::string> more = untranslated(d);
                seen.insert(seen.end(), more.begin(), more.end());
            }
            EXPECT_TRUE(seen.empty()) << code << ": " << seen.front();
            clickButton(d, "pushButton_Cancel");
        });
        EXPECT_EQ(fn_ZTUIEx_ChangePin(env.handle(), 1), 0x30003003u);
    }
    EXPECT_EQ(titles["2052"], "修改PIN码");
    EXPECT_EQ(titles["1033"], "Change PIN");
    EXPECT_EQ(titles["1028"], "修改PIN碼");
}

// Run again by the scaled-display entries at 125 % and 200 %: every dialog of
// the library, with its error line shown where it has one, in each language.
TEST(PinDialogs, ScaledNoTextIsCutInAnyDialogOrLanguage)
{
    QStringList cut;
    std::string code;
    auto check = [&](QWidget* d) {
        expectWrapperDpi(d);
        shootIfAsked(d, d->objectName() + "_" + QString::fromStdString(code));
        for (const QString& line : cutTexts(d))
            cut << QString::fromStdString(code) + " " + d->objectName() + ": " + line;
    };
    // Too short, so the dialog says so and stays open.
    auto refuseThenCancel = [&](const char* edit) {
        return [&, edit](QWidget* d) {
            typeInto(d, edit, "1");
            if (d->findChild<QLineEdit*>("lineEdit_NewPin"))
                typeInto(d, "lineEdit_NewPin", "Abcdef12");  // the strength line shows
            clickButton(d, "pushButton_OK");
            check(d);
            clickButton(d, "pushButton_Cancel");
        };
    };
    for (const char* language : {"2052", "1033", "1028"}) {
        code = language;
        KeySetup setup;
        setup.pinChanged = false;  // else no set-PIN dialog
        UiKeyEnvironment env(setup);
        ASSERT_TRUE(env.ready());
        setIniValue(env.root().path("Languages/Language.ini"), "LanguageDefaultSetting", "language", code);
        {
            DialogDriver driver("ZTUIExVerifyPinDialog", refuseThenCancel("lineEdit_Pin"));
            fn_ZTUIEx_VerifyPin(env.handle(), 1);
            EXPECT_TRUE(driver.ran());
        }
        {
            DialogDriver driver("ZTUIExChangePinDialog", refuseThenCancel("lineEdit_OldPin"));
            fn_ZTUIEx_ChangePin(env.handle(), 1);
            EXPECT_TRUE(driver.ran());
        }
        {
            DialogDriver driver("ZTUIExSetPinDialog", refuseThenCancel("lineEdit_NewPin"));
            fn_ZTUIEx_SetPin(env.handle(), 1);
            EXPECT_TRUE(driver.ran());
        }
        {
            DialogDriver driver("ZTUIExMessageBox", [&](QWidget* d) {
                check(d);
                clickButton(d, "pushButton_Cancel");
            });
            fn_ZTUIEx_MessageBox("Pin_Locked", "MessageBox_Title_Notice", 0x21, 0);
            EXPECT_TRUE(driver.ran());
        }
        DialogDriver driver("ZTUIExFormatDialog", check);
        EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(env.handle(), 0), 0u);
        EXPECT_TRUE(driver.ran());
    }
    EXPECT_TRUE(cut.isEmpty()) << cut.join("\n").toStdString();
}

// Run again by the no-CJK-font entry: the library's dialogs fall back to
// English as the manager's window does.
TEST(PinDialogs, ChineseNeedsAFontWithItsGlyphsElseTheDialogsAreInEnglish)
{
    const bool drawable = !QFontDatabase().families(QFontDatabase::TraditionalChinese).isEmpty();
    if (getenv("ZVIT_TEST_NO_CJK_FONT"))
        ASSERT_FALSE(drawable) << "the Latin-only font configuration still offers Chinese";
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    setIniValue(env.root().path("Languages/Language.ini"), "LanguageDefaultSetting", "language", "1028");
    std::string title;
    DialogDriver driver("ZTUIExVerifyPinDialog", [&](QWidget* d) {
        title = d->windowTitle().toStdString();
        clickButton(d, "pushButton_Cancel");
    });
    fn_ZTUIEx_VerifyPin(env.handle(), 1);
    EXPECT_EQ(title, drawable ? "驗證PIN碼" : "Verify PIN");
}
