// Format with its progress dialog, the message box, the parent window and the
// language of the texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QVariant>
#include <filesystem>
#include <thread>

#include "standins/vtoken/Pin.h"
#include "UiTestKit.h"
#include "bindings/ZTUIExtend_fundef.h"

namespace fs = std::filesystem;

namespace {

void addContainer(const UiKeyEnvironment& env, const std::string& name)
{
    ASSERT_EQ(env.store().update(env.serial(),
                                 [&](vtoken::KeyRecord& record) {
                                     vtoken::Container container;
                                     container.name = name;
                                     record.containers.push_back(container);
                                     return vtoken::Status::Ok;
                                 }),
              vtoken::Status::Ok);
}

struct ShownBox {
    std::string text, title;
    bool cancel = false;
    unsigned iconKind = 0;
    QWidget* parent = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
};

// Shows a message box, records what it shows and presses the button.
uint32_t showBox(const char* text, const char* title, uint32_t flags, const char* press, ShownBox* shown)
{
    DialogDriver driver("ZTUIExMessageBox", [&](QWidget* d) {
        shown->text = labelText(d, "label_Text");
        shown->title = d->windowTitle().toStdString();
        shown->cancel = d->findChild<QPushButton*>("pushButton_Cancel") != nullptr;
        shown->iconKind = child<QLabel>(d, "label_Icon")->property("iconKind").toUInt();
        shown->parent = d->parentWidget();
        shown->modality = d->windowModality();
        if (press)
            clickButton(d, press);
        else
            QTest::keyClick(d, Qt::Key_Escape);
    });
    return fn_ZTUIEx_MessageBox(text, title, flags, 0);
}

}  // namespace

TEST(FormatDialog, ShowsProgressAndRestoresTheDocumentedDefaults)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    addContainer(env, "ctr-one");
    ASSERT_EQ(env.store().setRetries(env.serial(), 3), vtoken::Status::Ok);
    vtoken::KeyRecord before = env.record();
    std::string bytesBefore = env.recordBytes();
    bool barShown = false;
    DialogDriver driver("ZTUIExFormatDialog", [&](QWidget* d) {
        barShown = d->findChild<QProgressBar*>("progressBar_Format") != nullptr &&
                   !labelText(d, "label_Progress").empty();
    });
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(env.handle(), 0), 0u);
    EXPECT_TRUE(barShown);
    vtoken::KeyRecord after = env.record();
    EXPECT_TRUE(after.containers.empty());
    EXPECT_FALSE(after.pinChanged);
    EXPECT_TRUE(after.initialised);
    EXPECT_EQ(after.userPin.attemptsLeft, vtoken::kDefaultAttempts);
    EXPECT_TRUE(vtoken::pinMatches(after.userPin, vtoken::kDefaultUserPin));
    // Identity, label, slot and the admin PIN stay.
    EXPECT_EQ(after.label, before.label);
    EXPECT_EQ(after.slot, before.slot);
    EXPECT_EQ(changedFields(bytesBefore, env.recordBytes()), "checksum,container,containers,flags,user-pin");
}

TEST(FormatDialog, RecoversLockedAndUninitialisedKeysAndNeedsAHandle)
{
    KeySetup setup;
    setup.attempts = 0;
    UiKeyEnvironment env(setup);
    ASSERT_TRUE(env.ready());
    ASSERT_EQ(env.store().update(env.serial(),
                                 [](vtoken::KeyRecord& r) {
                                     r.initialised = false;
                                     return vtoken::Status::Ok;
                                 }),
              vtoken::Status::Ok);
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(env.handle(), 1), ZTUIEX_ERR_NOT_INITIALISED);
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(nullptr, 0), ZTUIEX_ERR_INVALID_HANDLE);
    DialogDriver driver("ZTUIExFormatDialog", [](QWidget*) {});
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(env.handle(), 0), 0u);
    vtoken::KeyRecord key = env.record();
    EXPECT_TRUE(key.initialised);
    EXPECT_EQ(key.userPin.attemptsLeft, vtoken::kDefaultAttempts);
}

TEST(FormatDialog, CannotBeClosedWhileItWorks)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    bool stillOpen = false;
    DialogDriver driver("ZTUIExFormatDialog", [&](QWidget* d) {
        QTest::keyClick(d, Qt::Key_Escape);
        d->close();
        stillOpen = d->isVisible();
    });
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(env.handle(), 0), 0u);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(env.record().pinChanged);
}

TEST(FormatDialog, ReportsTheTruthWhenItsWindowDiesMidway)
{
    UiKeyEnvironment env;
    ASSERT_TRUE(env.ready());
    auto* window = new QWidget;
    window->show();
    ASSERT_EQ(fn_ZTUIEx_SetParentHwnd(window), 0u);
    DialogDriver driver("ZTUIExFormatDialog", [&](QWidget*) { delete window; });
    // The work was already under way: the key is formatted and says so.
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(env.handle(), 0), 0u);
    EXPECT_FALSE(env.record().pinChanged);
    QCoreApplication::processEvents();
}

TEST(MessageBox, TranslatesKeysAndTakesButtonsAndIconFromTheFlags)
{
    TestRoot root;
    fs::copy_file(ZVIT_UIEXTEND_PROGRAMS_QM, root.path("Languages/2052.qm"));
    ASSERT_TRUE(LoadZTUIExtendLib());
    ShownBox shown;
    EXPECT_EQ(showBox("Pin_Locked", "MessageBox_Title_Notice", 0x11, "pushButton_OK", &shown), 1u);
    EXPECT_EQ(shown.text, "PIN码已锁定");  // the programs' own translation
    EXPECT_EQ(shown.title, "提示");        // the library's fallback for a title key
    EXPECT_TRUE(shown.cancel);
    EXPECT_EQ(shown.iconKind, 0x10u);
    EXPECT_EQ(showBox("Pin_Locked", "MessageBox_Title_Notice", 0x31, "pushButton_Cancel", &shown), 2u);
    EXPECT_EQ(shown.iconKind, 0x30u);
    EXPECT_EQ(showBox("Not_A_Known_Key", "MessageBox_Title_Notice", 0x40, "pushButton_OK", &shown), 1u);
    EXPECT_EQ(shown.text, "Not_A_Known_Key");
    EXPECT_FALSE(shown.cancel);
    EXPECT_EQ(shown.iconKind, 0x40u);
    // Escape on a box with only OK acknowledges it; on OK/Cancel it declines.
    EXPECT_EQ(showBox("Pin_Locked", nullptr, 0x00, nullptr, &shown), 1u);
    EXPECT_EQ(shown.iconKind, 0u);
    EXPECT_EQ(showBox("Pin_Locked", nullptr, 0x21, nullptr, &shown), 2u);
    // Button codes we do not know still let the user decline.
    EXPECT_EQ(showBox("Pin_Locked", nullptr, 0x04, "pushButton_Cancel", &shown), 2u);
    EXPECT_TRUE(shown.cancel);
    // Markup in a caller's text is shown as it is.
    showBox("<b>bold</b>", nullptr, 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.text, "<b>bold</b>");
    FreeZTUIExtendLib();
}

TEST(MessageBox, LanguageFollowsTheInstallationOrTheCallersPath)
{
    TestRoot root;
    ASSERT_TRUE(LoadZTUIExtendLib());
    ShownBox shown;
    showBox("x", "MessageBox_Title_Notice", 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.title, "提示");
    setIniValue(root.path("Languages/Language.ini"), "LanguageDefaultSetting", "language", "1033");
    showBox("x", "MessageBox_Title_Notice", 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.title, "Notice");

    std::string other = root.tempDir() + "/lang/";
    fs::create_directories(other);
    writeFile(other + "Language.ini", "[LanguageDefaultSetting]\nlanguage=1028\n");
    EXPECT_EQ(fn_ZTUIEx_SetSysLangPath(other.c_str()), 0u);
    std::string okText;
    DialogDriver driver("ZTUIExMessageBox", [&](QWidget* d) {
        okText = child<QPushButton>(d, "pushButton_OK")->text().toStdString();
        clickButton(d, "pushButton_OK");
    });
    fn_ZTUIEx_MessageBox("x", nullptr, 0, 0);
    EXPECT_EQ(okText, "確定");
    // A translation file named by its code; a language without texts falls back to English.
    EXPECT_EQ(fn_ZTUIEx_SetSysLangPath((other + "2052.qm").c_str()), 0u);
    showBox("x", "MessageBox_Title_Notice", 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.title, "提示");
    EXPECT_EQ(fn_ZTUIEx_SetSysLangPath((other + "1041.qm").c_str()), 0u);
    showBox("x", "MessageBox_Title_Notice", 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.title, "Notice");
    // Back to the installation's choice.
    EXPECT_EQ(fn_ZTUIEx_SetSysLangPath(nullptr), 0u);
    showBox("x", "MessageBox_Title_Notice", 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.title, "Notice");
    FreeZTUIExtendLib();
}

TEST(ParentWindow, DialogsAreModalOverItAndForgetItWhenItCloses)
{
    TestRoot root;
    ASSERT_TRUE(LoadZTUIExtendLib());
    auto* window = new QWidget;
    window->setObjectName("mainWindow");
    window->show();
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(window), 0u);
    ShownBox shown;
    showBox("x", nullptr, 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.parent, window);
    EXPECT_EQ(shown.modality, Qt::WindowModal);

    // The window goes away while a box is open over it: no crash, counts as declined.
    DialogDriver driver("ZTUIExMessageBox", [&](QWidget*) { delete window; });
    EXPECT_EQ(fn_ZTUIEx_MessageBox("x", nullptr, 0x01, 0), ZTUIEX_ID_CANCEL);
    showBox("x", nullptr, 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.parent, nullptr);
    EXPECT_EQ(shown.modality, Qt::ApplicationModal);

    int notAWidget = 0;
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(&notAWidget), ZTUIEX_ERR_INVALID_ARG);

    // The manager hands over its window as a QObject*; others pass a native id.
    QWidget other;
    other.show();
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(static_cast<QObject*>(&other)), 0u);
    showBox("x", nullptr, 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.parent, &other);
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(nullptr), 0u);
    showBox("x", nullptr, 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.parent, nullptr);
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(reinterpret_cast<void*>(other.winId())), 0u);
    showBox("x", nullptr, 0, "pushButton_OK", &shown);
    EXPECT_EQ(shown.parent, &other);
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(nullptr), 0u);
    FreeZTUIExtendLib();
}

TEST(ParentWindow, CallsFromElsewhereOrWithOversizedTextsAreRefused)
{
    TestRoot root;
    ASSERT_TRUE(LoadZTUIExtendLib());
    uint32_t fromWorker = 0;
    std::thread worker([&] { fromWorker = fn_ZTUIEx_MessageBox("x", "y", 0, 0); });
    worker.join();
    EXPECT_EQ(fromWorker, ZTUIEX_ERR_NO_GUI);
    std::string huge(100000, 'k');
    EXPECT_EQ(fn_ZTUIEx_MessageBox(huge.c_str(), nullptr, 0, 0), ZTUIEX_ERR_INVALID_ARG);
    EXPECT_EQ(fn_ZTUIEx_MessageBox("x", huge.c_str(), 0, 0), ZTUIEX_ERR_INVALID_ARG);
    EXPECT_EQ(fn_ZTUIEx_SetSysLangPath(huge.c_str()), ZTUIEX_ERR_INVALID_ARG);
    FreeZTUIExtendLib();
}
