// One key's whole story through every part of the system at once: the real
// daemon on a simulated USB bus publishes it, the manager's window (in this
// process) shows it, a web page asks the manager's bridge about it and
// changes its PIN, the manager's sign test must then take the new PIN, the
// manager formats it, and the daemon is restarted under the running manager.
#include "registry/Pkcs11SlotManager.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <unistd.h>

#include "ChildProcess.h"
#include "DaemonHarness.h"
#include "ModalScript.h"
#include "manager/OperationMessages.h"
#include "PageClient.h"
#include "standins/vtoken/Pin.h"
#include "standins/vtoken/Store.h"
#include "common/SystemConfig.h"
#include "TestRoot.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "bridge/ZTWebSocketServer.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

namespace {

const char kInitialPin[] = "12345678";
const char kPagePin[] = "Page4321";
// The bridge reports the certificate of the last container it walks.
const char kSm2Dn[] = "C=CN, O=Zvit Test Bank, OU=Retail, CN=SM2 Holder";
const char kNoContainer[] = "没有可用容器";
const char kOpenAppFailed[] = "打开应用失败";
const unsigned kInfoIcon = 0x40;

std::string tool(DaemonHarness& h, const std::vector<std::string>& args, int* status = nullptr)
{
    std::vector<std::string> all = {"--store", h.storeFolder()};
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    const int rc = runProgram(ZVIT_TARNVKEY, all, &output);
    if (status)
        *status = rc;
    return output;
}

std::string text(const char* key)
{
    return localizedText(key).toStdString();
}

class EndToEnd : public ::testing::Test
{
protected:
    vtoken::KeyRecord key(const std::string& serial)
    {
        vtoken::KeyRecord record;
        EXPECT_EQ(vtoken::Store(h.storeFolder()).load(serial, &record), vtoken::Status::Ok);
        return record;
    }
    bool pinIs(const std::string& serial, const std::string& pin)
    {
        return vtoken::pinMatches(key(serial).userPin, pin);
    }
    QTreeWidget* tree() { return window->form()->treeWidget; }
    bool treeShows(int keys, int certs = -1)
    {
        if (tree()->topLevelItemCount() != keys)
            return false;
        return certs < 0 || keys == 0 || tree()->topLevelItem(0)->childCount() == certs;
    }
    void click(QPushButton* button)
    {
        ASSERT_FALSE(button->isHidden()) << button->objectName().toStdString();
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        button->click();
    }

    DaemonHarness h;
    std::unique_ptr<UKeyMainWindow> window;
    std::unique_ptr<ZTWebSocketServer> bridge;
};

}  // namespace

TEST_F(EndToEnd, KeyThroughDaemonManagerBridgeAndFormatThenDaemonRestart)
{
    const std::string serial = h.createKey("Story");
    int rc = -1;
    tool(h,
         {"import", serial, ZVIT_TEST_CERT_DIR "/rsa2048.der", "--container", "c1", "--type", "rsa", "--usage", "sign"},
         &rc);
    ASSERT_EQ(rc, 0);
    tool(h, {"import", serial, ZVIT_TEST_CERT_DIR "/sm2.der", "--container", "c2", "--type", "sm2", "--usage", "exch"},
         &rc);
    ASSERT_EQ(rc, 0);
    setIniValue(DaemonHarness::installedRoot() + "ConfigFile/Config.ini", "ZTTokenInfo", "IsSupportFormat", "1");
    pid_t daemon = h.startDaemon({"-sys"});
    ASSERT_TRUE(h.waitRegistry(15000)) << h.daemonOutput(daemon);

    // The manager as its main() sets it up: window and bridge server.
    ASSERT_TRUE(LoadZTUtilLib());
    ASSERT_EQ(initSystemPath(g_szLanguageDirPath, g_szConfigFilePath), 0u);
    ASSERT_EQ(getLanguageFileName(g_szLanguageQmFileName), 0);
    window.reset(new UKeyMainWindow(nullptr));
    ASSERT_EQ(window->initDialog(), 0);
    const quint16 port = freePortRange();
    ASSERT_NE(port, 0);
    bridge.reset(new ZTWebSocketServer(port, nullptr));
    ASSERT_TRUE(waitUntil([&] { return window->form()->statusbar->currentMessage() != ""; }, 10000));
    EXPECT_TRUE(treeShows(0));

    PageClient page;
    ASSERT_TRUE(page.open(bridge->serverPort()));
    ASSERT_EQ(page.request("Initialize"), "Initialize&&");

    // Plugged: the tree and the page both see it.
    ASSERT_GE(h.plugKey(serial), 0);
    ASSERT_TRUE(waitUntil([&] { return treeShows(1, 2); }, 20000)) << h.daemonOutput(daemon);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0).toStdString(), "Story(" + serial + ")");
    EXPECT_EQ(tree()->topLevelItem(0)->child(0)->text(0).toStdString(), "RSA 2048 Holder");
    EXPECT_EQ(tree()->topLevelItem(0)->child(1)->text(0).toStdString(), "SM2 Holder");
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(page.request("GetSN"), QString::fromStdString("GetSN&&" + serial));
    EXPECT_EQ(page.request("GetCertDN#&&#end"), QString::fromUtf8("GetCertDN&&") + QString::fromUtf8(kSm2Dn));

    // The page changes the PIN; the manager's sign test must want the new one.
    EXPECT_EQ(page.request(QString("ChangeUserPin#&#&%1#&%2&#end").arg(kInitialPin, kPagePin)), "ChangeUserPin&&0");
    tree()->setCurrentItem(tree()->topLevelItem(0));
    {
        ModalScript script;
        script
            .then("ZTUIExVerifyPinDialog",
                  [&](QWidget* d) {
                      enterPin(d, kInitialPin);
                      // Refused and counted on the key itself.
                      EXPECT_EQ(key(serial).userPin.attemptsLeft, 9);
                      enterPin(d, kPagePin);
                  })
            .then("ZTUIExMessageBox", pressOk);
        click(window->form()->pushButton_TestSign);
        ASSERT_TRUE(script.finished());
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_EQ(script.seen()[1].text, text("SignatureTest_Success"));
        EXPECT_EQ(script.seen()[1].iconKind, kInfoIcon);
    }
    EXPECT_EQ(key(serial).userPin.attemptsLeft, 10);
    EXPECT_EQ(page.request(QString("VerifyUserPin#&#&%1&#end").arg(kPagePin)), "VerifyUserPin&&0");

    // Format from the manager: two confirmations, the new PIN declined.
    {
        ModalScript script;
        script.then("QMessageBox", pressConfirm).then("QMessageBox", pressConfirm).then("QMessageBox", pressCancel);
        click(window->form()->pushButton_Format);
        ASSERT_TRUE(script.finished());
        ASSERT_EQ(script.seen().size(), 3u);
        EXPECT_EQ(script.seen()[0].text, text("Format_Prompt_One"));
        EXPECT_EQ(script.seen()[1].text, "Please confirm once more: format key " + serial + "?");
        EXPECT_EQ(script.seen()[2].text, text("Format_Success"));
    }
    // The store as the key tool sees it: the key is empty, initial PIN back.
    const QJsonArray listed =
        QJsonDocument::fromJson(QByteArray::fromStdString(tool(h, {"list", "--json"}, &rc))).array();
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(listed.size(), 1);
    const QJsonObject formatted = listed[0].toObject();
    EXPECT_EQ(formatted["serial"].toString().toStdString(), serial);
    EXPECT_EQ(formatted["label"].toString(), "Story");
    EXPECT_TRUE(formatted["containers"].toArray().isEmpty());
    EXPECT_TRUE(formatted["plugged"].toBool());
    EXPECT_FALSE(formatted["pinChanged"].toBool());
    EXPECT_TRUE(pinIs(serial, kInitialPin));
    EXPECT_TRUE(waitUntil([&] { return treeShows(1, 0); }, 10000));
    EXPECT_EQ(page.request("GetCertDN#&&#end"), QString::fromUtf8("GetCertDN&&") + QString::fromUtf8(kNoContainer));
    // The page's open session takes the PIN the format put back.
    EXPECT_EQ(page.request(QString("VerifyUserPin#&#&%1&#end").arg(kInitialPin)), "VerifyUserPin&&0");

    // Pulled: gone from the tree and from the page.
    h.unplugKey(serial);
    ASSERT_TRUE(waitUntil([&] { return treeShows(0); }, 20000)) << h.daemonOutput(daemon);
    EXPECT_EQ(page.request("CheckToken"), QString::fromUtf8("CheckToken&&") + QString::fromUtf8(kOpenAppFailed));

    // A new daemon under the running manager, then the key again. The daemon
    // makes its registry anew; the running window must follow it. A killed
    // daemon leaves its registry linked under the same name, so wait until
    // the new one has replaced it.
    const ino_t oldRegistry = h.registryInode();
    ASSERT_NE(oldRegistry, 0u);
    h.killDaemon(daemon);
    daemon = h.startDaemon({"-sys"});
    ASSERT_TRUE(h.waitRegistryReplaced(oldRegistry, 15000)) << h.daemonOutput(daemon);
    const int slot = h.plugKey(serial);
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(h.waitSlotPresent(slot, true, 20000)) << h.daemonOutput(daemon);
    // Formatted above, so the key comes back without certificates.
    ASSERT_TRUE(waitUntil([&] { return treeShows(1, 0); }, 20000)) << h.daemonOutput(daemon);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0).toStdString(), "Story(" + serial + ")");
    // The page does not depend on the daemon at all.
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(page.request("GetSN"), QString::fromStdString("GetSN&&" + serial));

    // Changes of the new daemon reach the running window too.
    h.unplugKey(serial);
    EXPECT_TRUE(waitUntil([&] { return treeShows(0); }, 20000)) << h.daemonOutput(daemon);

    page.socket().close();
    bridge.reset();
    window.reset();
    FreeZTUIExtendLib();
    FreeZTTokenLib();
    h.killDaemon(daemon);
}
