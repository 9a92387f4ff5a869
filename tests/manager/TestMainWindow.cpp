// The main window over a real registry, virtual keys and the token library.
#include "registry/Pkcs11SlotManager.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QLabel>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <QIcon>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUrl>

#include <chrono>
#include <cstring>
#include <thread>

#include "manager/DeviceModel.h"
#include "manager/DialogAbout.h"
#include "manager/DialogCertificateViewer.h"
#include "manager/DialogSystemCheck.h"
#include "manager/DialogSystemOptions.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "common/global_def_var.h"
#include "manager/WindowGlobals.h"
#include "ManagerFixture.h"
#include "TextFit.h"
#include "manager/MainWindow.h"
#include "ui_MainWindow.h"

namespace {

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(32, 32).toImage();
}

bool hasIcon(QTreeWidgetItem* item, const char* resource)
{
    return iconImage(item->icon(0)) == iconImage(QIcon(resource));
}

std::vector<std::string> childTexts(QTreeWidgetItem* node)
{
    std::vector<std::string> texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts.push_back(node->child(i)->text(0).toStdString());
    return texts;
}

// Records every URL the window asks the desktop to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    UrlRecorder() { QDesktopServices::setUrlHandler("https", this, "open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler("https"); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Runs action and answers each message box of the UI extension library that
// it opens by pressing the named button; returns the texts of the boxes.
QStringList answerBoxes(const std::function<void()>& action, const char* button)
{
    QStringList texts;
    QTimer timer;
    timer.setInterval(30);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box->objectName() != "ZTUIExMessageBox")
            return;
        QLabel* label = box->findChild<QLabel*>("label_Text");
        texts << (label ? label->text() : QString());
        if (QPushButton* b = box->findChild<QPushButton*>(button))
            b->click();
    });
    timer.start();
    action();
    return texts;
}

}  // namespace

TEST_F(ManagerTest, WithoutKeysTheTreeIsEmptyAndOnlyAlwaysUsableButtonsWork)
{
    ASSERT_TRUE(startWindow());
    Ui::UKeyMainWindow* ui = m_window->form();
    ASSERT_TRUE(waitUntil([&] { return statusText() == "No key found. Please plug in your key."; }))
        << statusText().toStdString();
    EXPECT_EQ(tree()->topLevelItemCount(), 0);
    for (QPushButton* button : {ui->pushButton_ChangePin, ui->pushButton_ViewCert, ui->pushButton_TestSign,
                                ui->pushButton_DownCert})
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
    for (QPushButton* button : {ui->pushButton_OpenLink, ui->pushButton_Refresh, ui->pushButton_SystemSetting})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_TRUE(ui->pushButton_Format->isHidden());
    EXPECT_TRUE(ui->pushButton_UpgradeOnline->isHidden());
}

TEST_F(ManagerTest, TreeShowsEachKeyWithItsCertificatesInStoreOrder)
{
    makeKey("KEYA01", "Alice",
            {{"rsa1024", "c1", "rsa", "exch"},
             {"rsa2048", "c1", "rsa", "sign"},
             {"sm2", "c2", "sm2", "sign"},  // no exchange certificate in this container
             {"dn-utf8", "c3", "rsa", "exch"}});
    makeKey("KEYB02", "Bob", {});
    plugAndPublish("KEYA01", 0, "Alice");
    plugAndPublish("KEYB02", 1, "Bob");
    ASSERT_TRUE(startWindow());

    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 2 && tree()->topLevelItem(0)->childCount() == 4; }));
    EXPECT_EQ(topLevelTexts(), (std::vector<std::string>{"Alice(KEYA01)", "Bob(KEYB02)"}));
    QTreeWidgetItem* alice = tree()->topLevelItem(0);
    EXPECT_EQ(childTexts(alice),
              (std::vector<std::string>{"RSA 1024 Holder", "RSA 2048 Holder", "SM2 Holder", "\xE5\xBC\xA0\xE4\xB8\x89"}));
    EXPECT_EQ(alice->child(0)->data(0, Qt::UserRole).toInt(), 1);
    EXPECT_EQ(alice->child(2)->data(0, Qt::UserRole).toInt(), 4);
    EXPECT_TRUE(hasIcon(alice->child(0), ":/Image/Res/cert.png"));
    EXPECT_TRUE(hasIcon(alice->child(1), ":/Image/Res/cert.png"));
    EXPECT_TRUE(hasIcon(alice->child(2), ":/Image/Res/SM2Cert.png"));
    EXPECT_TRUE(hasIcon(alice->child(3), ":/Image/Res/cert.png"));
    EXPECT_EQ(tree()->topLevelItem(1)->childCount(), 0);

    // The pass selects the first key and reports its PIN state.
    ASSERT_TRUE(waitUntil([&] { return statusText() == "Key KEYA01 found; PIN attempts left: 10"; }))
        << statusText().toStdString();
    EXPECT_TRUE(m_window->form()->pushButton_ChangePin->isEnabled());

    // A key without certificates says so, and becomes the busy one.
    QTreeWidgetItem* bob = tree()->topLevelItem(1);
    emit tree()->itemClicked(bob, 0);
    EXPECT_EQ(statusText().toStdString(), "Key KEYB02 holds no certificate.");
    EXPECT_TRUE(hasIcon(bob, ":/Image/Res/OnLineBusy.png"));
    EXPECT_TRUE(hasIcon(alice, ":/Image/Res/OnLine.png"));
    EXPECT_FALSE(m_window->form()->pushButton_ViewCert->isEnabled());

    // A certificate node shows its validity (UTC+8) and allows viewing.
    tree()->setCurrentItem(alice->child(1));
    emit tree()->itemClicked(alice->child(1), 0);
    EXPECT_EQ(statusText().toStdString(), "Certificate valid from 2025-1-1 to 2035-1-1");
    EXPECT_TRUE(m_window->form()->pushButton_ViewCert->isEnabled());
    EXPECT_TRUE(hasIcon(bob, ":/Image/Res/OnLine.png"));

    // Both certificates of a container carry the holder's name; the
    // description tells them apart.
    EXPECT_EQ(alice->child(0)->toolTip(0).toStdString(), "Exchange (encryption) certificate, valid until 2035-01-01");
    EXPECT_EQ(alice->child(1)->data(0, Qt::AccessibleDescriptionRole).toString().toStdString(),
              "Signature certificate, valid until 2035-01-01");
    EXPECT_EQ(tree()->accessibleName().toStdString(), "Keys and their certificates");

    // The keyboard does what the mouse does.
    tree()->setCurrentItem(bob);
    EXPECT_FALSE(m_window->form()->pushButton_ViewCert->isEnabled());
    tree()->setCurrentItem(alice);
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Down);
    EXPECT_EQ(tree()->currentItem(), alice->child(0));
    EXPECT_TRUE(m_window->form()->pushButton_ViewCert->isEnabled());
    // Refresh without its message box: only the press is of interest.
    QObject::disconnect(m_window->form()->pushButton_Refresh, &QPushButton::clicked, nullptr, nullptr);
    QSignalSpy refreshed(m_window->form()->pushButton_Refresh, &QPushButton::clicked);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(m_window->form()->pushButton_Refresh, key);
    EXPECT_EQ(refreshed.count(), 2);
}

TEST_F(ManagerTest, KeysPublishedAndRemovedWhileRunningAppearAndVanish)
{
    makeKey("KEYC03", "Carol", {{"rsa2048", "c1", "rsa", "sign"}, {"sm2", "c2", "sm2", "exch"}});
    makeKey("KEYD04", "Dave", {{"dn-cn-middle", "c1", "rsa", "exch"}});
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return statusText() == "No key found. Please plug in your key."; }));

    plugAndPublish("KEYC03", 0, "Carol");
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1 && tree()->topLevelItem(0)->childCount() == 2; }));
    EXPECT_EQ(childTexts(tree()->topLevelItem(0)), (std::vector<std::string>{"RSA 2048 Holder", "SM2 Holder"}));
    EXPECT_TRUE(hasIcon(tree()->topLevelItem(0)->child(1), ":/Image/Res/SM2Cert.png"));

    plugAndPublish("KEYD04", 1, "Dave");
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 2 && tree()->topLevelItem(1)->childCount() == 1; }));
    EXPECT_EQ(topLevelTexts(), (std::vector<std::string>{"Carol(KEYC03)", "Dave(KEYD04)"}));
    EXPECT_EQ(childTexts(tree()->topLevelItem(1)), (std::vector<std::string>{"Key Holder"}));

    // The first key goes: the second keeps its certificates, now at position 0.
    unplugAndUnpublish("KEYC03", 0);
    ASSERT_TRUE(waitUntil([&] { return topLevelTexts() == std::vector<std::string>{"Dave(KEYD04)"}; }));
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItem(0)->childCount() == 1; }));

    unplugAndUnpublish("KEYD04", 1);
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 0; }));
    ASSERT_TRUE(waitUntil([&] { return statusText() == "No key found. Please plug in your key."; }));
    EXPECT_TRUE(waitUntil([&] { return !m_window->form()->pushButton_ChangePin->isEnabled(); }));
}

TEST_F(ManagerTest, WebBankPageOpensOnceAtTheFirstPassThatFindsAKey)
{
    UrlRecorder recorder;
    setConfig("UkeyManage", "OpenWebPageAtStartup", "1");
    setConfig("UkeyManage", "OpenWebBankUrl", "https://bank.example/login");
    makeKey("KEYE05", "Eve", {});
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return statusText() == "No key found. Please plug in your key."; }));
    EXPECT_TRUE(recorder.urls.isEmpty());

    plugAndPublish("KEYE05", 0, "Eve");
    ASSERT_TRUE(waitUntil([&] { return recorder.urls.size() == 1; }));
    EXPECT_EQ(recorder.urls.first(), QUrl("https://bank.example/login"));

    // Later passes (a refresh, a removal and a new insertion) do not open it again.
    m_window->runThreadUpdateUI(1);
    unplugAndUnpublish("KEYE05", 0);
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 0; }));
    plugAndPublish("KEYE05", 0, "Eve");
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    waitUntil([] { return false; }, 700);
    EXPECT_EQ(recorder.urls.size(), 1);

    // The button opens it whenever asked.
    m_window->form()->pushButton_OpenLink->click();
    EXPECT_EQ(recorder.urls.size(), 2);
}

TEST_F(ManagerTest, WebBankPageStaysClosedWhenStartupOpeningIsOff)
{
    UrlRecorder recorder;
    setConfig("UkeyManage", "OpenWebBankUrl", "https://bank.example/login");
    makeKey("KEYF06", "Fay", {});
    plugAndPublish("KEYF06", 0, "Fay");
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    waitUntil([] { return false; }, 500);
    EXPECT_TRUE(recorder.urls.isEmpty());
}

TEST_F(ManagerTest, AnEmptyOrUnusableAddressIsReportedInsteadOfOpened)
{
    UrlRecorder recorder;
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return statusText() == "No key found. Please plug in your key."; }));
    m_window->form()->pushButton_OpenLink->click();
    EXPECT_EQ(statusText().toStdString(), "No valid online banking address is configured.");

    setConfig("UkeyManage", "OpenWebBankUrl", "   ");
    m_window->form()->pushButton_OpenLink->click();
    EXPECT_EQ(statusText().toStdString(), "No valid online banking address is configured.");
    EXPECT_TRUE(recorder.urls.isEmpty());
}

TEST_F(ManagerTest, ForcedPinChangeIsRequestedOncePerInsertion)
{
    const uint64_t kUserPinToBeChanged = 0x00080000;
    setConfig("ZTTokenInfo", "ForcedModifyPIN", "1");
    makeKey("KEYG07", "Gil", {});
    makeKey("KEYH08", "Hal", {});
    plugAndPublish("KEYG07", 0, "Gil");
    plugAndPublish("KEYH08", 1, "Hal", kUserPinToBeChanged);
    QList<int> requests;
    ASSERT_TRUE(startWindow([&](UKeyMainWindow* window) {
        QObject::connect(window->devices(), &DeviceModel::setPinRequested, window, [&](int slot) { requests << slot; });
    }));
    ASSERT_TRUE(waitUntil([&] { return requests.size() == 1; }));
    EXPECT_EQ(requests.first(), 1);
    // The flagged key is the selected one.
    EXPECT_EQ(tree()->currentItem(), tree()->topLevelItem(1));

    // A refresh leaves the request alone.
    m_window->runThreadUpdateUI(1);
    waitUntil([] { return false; }, 600);
    EXPECT_EQ(requests.size(), 1);

    // After a removal the next pass asks again for the key still flagged.
    unplugAndUnpublish("KEYG07", 0);
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    m_window->runThreadUpdateUI(1);
    ASSERT_TRUE(waitUntil([&] { return requests.size() == 2; }));
    EXPECT_EQ(requests.last(), 1);
}

TEST_F(ManagerTest, TheKeyAskedForANewPinIsTheSelectedOneWhateverItsSlot)
{
    setConfig("ZTTokenInfo", "ForcedModifyPIN", "1");
    makeKey("KEYM13", "Mo", {});
    makeKey("KEYN14", "Ned", {});
    vkey(m_store, {"plug", "KEYM13"});
    // Slot 0 stays empty in the registry: the flagged key's node is the first.
    plugAndPublish("KEYN14", 1, "Ned", 0x00080000);
    QList<int> requests;
    ASSERT_TRUE(startWindow([&](UKeyMainWindow* window) {
        QObject::connect(window->devices(), &DeviceModel::setPinRequested, window, [&](int slot) { requests << slot; });
    }));
    ASSERT_TRUE(waitUntil([&] { return requests.size() == 1; }));
    EXPECT_EQ(requests.first(), 1);
    ASSERT_EQ(topLevelTexts(), std::vector<std::string>{"Ned(KEYN14)"});
    EXPECT_EQ(tree()->currentItem(), tree()->topLevelItem(0));
}

TEST_F(ManagerTest, NoForcedPinChangeUnlessConfiguredExactlyOne)
{
    setConfig("ZTTokenInfo", "ForcedModifyPIN", "2");
    makeKey("KEYI09", "Ivy", {});
    plugAndPublish("KEYI09", 0, "Ivy", 0x00080000);
    int requests = 0;
    ASSERT_TRUE(startWindow([&](UKeyMainWindow* window) {
        QObject::connect(window->devices(), &DeviceModel::setPinRequested, window, [&](int) { ++requests; });
    }));
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    m_window->runThreadUpdateUI(1);
    waitUntil([] { return false; }, 600);
    EXPECT_EQ(requests, 0);
}

TEST_F(ManagerTest, ClosingWhilePassesAreUnderwayWaitsForThem)
{
    makeKey("KEYJ10", "Jo", {{"rsa2048", "c1", "rsa", "sign"}});
    plugAndPublish("KEYJ10", 0, "Jo", 0, false);
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    // Passes held up behind a long one emit on the window later: it must
    // outlive them (the sanitizer reports any use after it is gone).
    pthread_mutex_lock(m_window->devices()->passLock());
    m_window->runThreadUpdateUI(1);
    m_window->runThreadUpdateUI(3);
    pthread_mutex_t* passLock = m_window->devices()->passLock();
    std::thread release([passLock] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        pthread_mutex_unlock(passLock);
    });
    stopWindow();
    release.join();
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1 && tree()->topLevelItem(0)->childCount() == 1; }));
}

TEST_F(ManagerTest, RefreshAnswersAtOnceEvenWhileAPassHoldsTheLock)
{
    makeKey("KEYK11", "Kim", {});
    plugAndPublish("KEYK11", 0, "Kim", 0, false);
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    pthread_mutex_lock(m_window->devices()->passLock());
    const QStringList boxes =
        answerBoxes([&] { m_window->form()->pushButton_Refresh->click(); }, "pushButton_OK");
    EXPECT_EQ(boxes.size(), 1);
    // The pass it started is still waiting: the tree was not cleared yet.
    EXPECT_EQ(tree()->topLevelItemCount(), 1);
    pthread_mutex_unlock(m_window->devices()->passLock());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1 && tree()->topLevelItem(0)->isExpanded(); }));
}

TEST_F(ManagerTest, CertificateDownloadAsksFirstAndOpensOnlyWhenConfirmed)
{
    UrlRecorder recorder;
    setConfig("UkeyManage", "DownCertUrl", "https://bank.example/certs");
    makeKey("KEYL12", "Lee", {});
    plugAndPublish("KEYL12", 0, "Lee", 0, false);
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    QPushButton* download = m_window->form()->pushButton_DownCert;
    ASSERT_TRUE(waitUntil([&] { return download->isEnabled(); }));

    // Nothing selected: one notice, nothing asked, nothing opened.
    tree()->clearSelection();
    EXPECT_EQ(answerBoxes([&] { download->click(); }, "pushButton_OK").size(), 1);
    EXPECT_TRUE(recorder.urls.isEmpty());

    tree()->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(answerBoxes([&] { download->click(); }, "pushButton_Cancel").size(), 1);
    EXPECT_TRUE(recorder.urls.isEmpty());
    EXPECT_EQ(answerBoxes([&] { download->click(); }, "pushButton_OK").size(), 1);
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls.first(), QUrl("https://bank.example/certs"));
}

TEST_F(ManagerTest, TextsComeFromTheChosenLanguageFile)
{
    useLanguage("2052");
    ASSERT_TRUE(startWindow());
    Ui::UKeyMainWindow* ui = m_window->form();
    EXPECT_EQ(ui->pushButton_Refresh->text(), QString::fromUtf8("刷新"));
    EXPECT_EQ(m_window->windowTitle(), QString::fromUtf8("网银密钥管理工具"));
    ASSERT_TRUE(waitUntil([&] { return statusText() == QString::fromUtf8("未检测到密钥，请插入密钥。"); }));
    // A key without a translation shows as itself.
    m_window->sendSignal_setStatusBarText("No_Such_Text_Key", 0);
    EXPECT_EQ(statusText().toStdString(), "No_Such_Text_Key");
}

// Run again by the scaled-display entries at 125 % and 200 %: the window is
// sized from its texts, in every language.
TEST_F(ManagerTest, ScaledNoTextIsCutInAnyLanguage)
{
    makeKey("DEMORSA0001", "Demo RSA key", {{"rsa2048", "c1", "rsa", "sign"}, {"rsa1024", "c1", "rsa", "exch"}});
    makeKey("DEMOSM20002", "Demo SM2 key", {{"sm2", "c1", "sm2", "sign"}});
    plugAndPublish("DEMORSA0001", 0, "Demo RSA key");
    plugAndPublish("DEMOSM20002", 1, "Demo SM2 key");
    for (const char* language : {"1033", "2052", "1028"}) {
        SCOPED_TRACE(language);
        useLanguage(language);
        ASSERT_TRUE(startWindow());
        ASSERT_TRUE(waitUntil([&] {
            return tree()->topLevelItemCount() == 2 && tree()->topLevelItem(1)->childCount() == 1 &&
                   statusText().contains("DEMORSA0001");
        }));
        m_window->show();
        tree()->expandAll();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        expectWrapperDpi(m_window.get());
        shootIfAsked(m_window.get(), QStringLiteral("MainWindow_%1").arg(language));
        const QStringList cut = cutTexts(m_window.get());
        EXPECT_TRUE(cut.isEmpty()) << cut.join("\n").toStdString();
        stopWindow();
    }
}

// The dialogs as the program opens them: its language installed for the
// application, a plugged key for the system check, a certificate for the viewer.
TEST_F(ManagerTest, ScaledNoTextIsCutInAnyDialog)
{
    makeKey("DEMORSA0001", "Demo RSA key", {{"rsa2048", "c1", "rsa", "sign"}});
    plugAndPublish("DEMORSA0001", 0, "Demo RSA key");
    const std::string der = readFile(certFixture("rsa2048"));
    _common_cert_info record = {};
    std::memcpy(record.certData, der.data(), der.size());
    record.certLen = der.size();
    for (const char* language : {"1033", "2052", "1028"}) {
        SCOPED_TRACE(language);
        useLanguage(language);
        ASSERT_TRUE(startWindow());
        ASSERT_TRUE(waitUntil([&] { return m_window->devices()->pluggedKeys().size() == 1; }));
        QTranslator translator;
        ASSERT_TRUE(translator.load(QString::fromUtf8(g_szLanguageQmFileName)));
        QApplication::installTranslator(&translator);
        {
            Dialog_About about(m_window.get());
            Dialog_System_Options options(m_window.get(), m_window->devices());
            Dialog_System_Check check(nullptr, m_window->devices());
            CDialogCertificateViewer viewer(nullptr);
            viewer.showCertificate(&record);
            for (QDialog* dialog : std::initializer_list<QDialog*>{&about, &options, &check, &viewer}) {
                SCOPED_TRACE(dialog->objectName().toStdString());
                dialog->show();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
                expectWrapperDpi(dialog);
                shootIfAsked(dialog, dialog->objectName() + "_" + language);
                const QStringList cut = cutTexts(dialog);
                EXPECT_TRUE(cut.isEmpty()) << cut.join("\n").toStdString();
                dialog->close();
            }
        }
        QApplication::removeTranslator(&translator);
        stopWindow();
    }
}

// Run again by the no-CJK-font entry: boxes on every button help no one.
TEST_F(ManagerTest, ChineseNeedsAFontWithItsGlyphsElseTheWindowIsInEnglish)
{
    const bool drawable = !QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty();
    if (getenv("ZVIT_TEST_NO_CJK_FONT"))
        ASSERT_FALSE(drawable) << "the Latin-only font configuration still offers Chinese";
    useLanguage("2052");
    ASSERT_TRUE(startWindow());
    EXPECT_EQ(m_window->windowTitle().toStdString(), drawable ? "网银密钥管理工具" : "Online Banking Key Manager");
}

TEST_F(ManagerTest, AMissingLanguageFileEndsStartUp)
{
    useLanguage("9999");
    ASSERT_FALSE(startWindow());
}

#include "TestMainWindow.moc"

// The update pass on its own: what it tells a window, in order, with no window.
TEST_F(ManagerTest, UpdatePassTellsKeysSelectionAndPinRequestsWithoutAWindow)
{
    const uint64_t kUserPinToBeChanged = 0x00080000;
    makeKey("KEYM01", "Mia", {{"sm2", "c1", "sm2", "sign"}});
    makeKey("KEYN02", "Ned", {});
    plugAndPublish("KEYN02", 2, "Ned", kUserPinToBeChanged, false);
    plugAndPublish("KEYM01", 0, "Mia", 0, false);
    ASSERT_TRUE(LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER));

    DeviceModel model;
    model.setForceModifyPin(true);
    QStringList told;
    QObject::connect(&model, &DeviceModel::keysCleared, [&] { told << "cleared"; });
    QObject::connect(&model, &DeviceModel::keyFound, [&](QString text, QByteArray name) {
        told << "key " + text + (name.isEmpty() ? " without a name" : "");
    });
    QObject::connect(&model, &DeviceModel::certificatesRead, [&] { told << "certificates"; });
    QObject::connect(&model, &DeviceModel::keysPresent, [&](bool on) { told << QString("present %1").arg(on); });
    QObject::connect(&model, &DeviceModel::statusText, [&](QString key) { told << "status " + key; });
    QObject::connect(&model, &DeviceModel::selectNode, [&](int at) { told << QString("select %1").arg(at); });
    QObject::connect(&model, &DeviceModel::setPinRequested, [&](int slot) { told << QString("set PIN %1").arg(slot); });

    // Slot 2's node is the tree's second: empty slots leave no node.
    model.runUpdatePass(ZT_KEY_EVENT_INIT);
    EXPECT_EQ(told, QStringList({"cleared", "key Mia(KEYM01)", "key Ned(KEYN02)", "certificates", "present 1",
                                 "select 1", "set PIN 2"}));
    // The same key is asked once; its removal forgets the request.
    told.clear();
    model.runUpdatePass(ZT_KEY_EVENT_INIT);
    EXPECT_FALSE(told.contains("set PIN 2")) << told.join(", ").toStdString();
    unplugAndUnpublish("KEYN02", 2, false);
    told.clear();
    model.runUpdatePass(ZT_KEY_EVENT_REMOVED);
    EXPECT_EQ(told, QStringList({"cleared", "key Mia(KEYM01)", "certificates", "present 1", "select 0"}));
    ASSERT_EQ(model.pluggedKeys().size(), 1);
    EXPECT_EQ(model.pluggedKeys().first().serial, QByteArray("KEYM01"));

    unplugAndUnpublish("KEYM01", 0, false);
    told.clear();
    model.runUpdatePass(ZT_KEY_EVENT_INIT);
    EXPECT_EQ(told, QStringList({"cleared", "status Enum_NotFoundDev", "present 0", "select 0"}));
    EXPECT_TRUE(model.pluggedKeys().isEmpty());
}
