// The whole road of a key: the real daemon on a simulated USB bus publishes
// it, this process's main window shows it with its certificates, and takes
// it away again when the key is pulled.
#include "registry/Pkcs11SlotManager.h"

#include <gtest/gtest.h>

#include "QtWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "ChildProcess.h"
#include "DaemonHarness.h"
#include "manager/WindowGlobals.h"
#include "common/SystemConfig.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

namespace {

int tool(DaemonHarness& h, const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"--store", h.storeFolder()};
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    return runProgram(ZVIT_TARNVKEY, all, &output);
}

std::vector<std::string> texts(QTreeWidgetItem* parent, QTreeWidget* tree)
{
    std::vector<std::string> out;
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        out.push_back((parent ? parent->child(i) : tree->topLevelItem(i))->text(0).toStdString());
    return out;
}

}  // namespace

TEST(ManagerWithDaemon, KeysPluggedAndPulledAppearAndVanishWithTheirCertificates)
{
    DaemonHarness h;
    const std::string serial = h.createKey("Road");
    ASSERT_EQ(0, tool(h, {"import", serial, ZVIT_TEST_CERT_DIR "/rsa2048.der", "--container", "c1", "--type", "rsa",
                          "--usage", "sign"}));
    ASSERT_EQ(0, tool(h, {"import", serial, ZVIT_TEST_CERT_DIR "/sm2.der", "--container", "c2", "--type", "sm2",
                          "--usage", "exch"}));
    const pid_t daemon = h.startDaemon({"-sys"});
    ASSERT_TRUE(h.waitRegistry(15000)) << h.daemonOutput(daemon);

    // The manager of the installed root, in this process.
    ASSERT_TRUE(LoadZTUtilLib());
    ASSERT_EQ(initSystemPath(g_szLanguageDirPath, g_szConfigFilePath), 0u);
    ASSERT_EQ(getLanguageFileName(g_szLanguageQmFileName), 0);
    std::unique_ptr<UKeyMainWindow> window(new UKeyMainWindow(nullptr));
    ASSERT_EQ(window->initDialog(), 0);
    QTreeWidget* tree = window->form()->treeWidget;
    ASSERT_TRUE(waitUntil([&] { return window->form()->statusbar->currentMessage() != ""; }, 10000));
    EXPECT_EQ(tree->topLevelItemCount(), 0);

    ASSERT_EQ(0, h.plugKey(serial));
    ASSERT_TRUE(waitUntil([&] { return tree->topLevelItemCount() == 1 && tree->topLevelItem(0)->childCount() == 2; },
                          20000))
        << h.daemonOutput(daemon);
    EXPECT_EQ(texts(nullptr, tree), (std::vector<std::string>{"Road(" + serial + ")"}));
    EXPECT_EQ(texts(tree->topLevelItem(0), tree), (std::vector<std::string>{"RSA 2048 Holder", "SM2 Holder"}));

    h.unplugKey(serial);
    ASSERT_TRUE(waitUntil([&] { return tree->topLevelItemCount() == 0; }, 20000)) << h.daemonOutput(daemon);

    window.reset();
    FreeZTUIExtendLib();
    FreeZTTokenLib();
    h.killDaemon(daemon);
}
