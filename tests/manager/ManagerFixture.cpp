#include "registry/Pkcs11SlotManager.h"

#include "ManagerFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QThread>
#include <QTreeWidget>
#include <cstring>
#include <filesystem>

#include "ChildProcess.h"
#include "manager/WindowGlobals.h"
#include "manager/DeviceWatch.h"
#include "manager/LanguageFonts.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "common/SystemConfig.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

namespace fs = std::filesystem;

void vkey(const std::string& store, const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"--store", store};
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    int rc = runProgram(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", all, &output);
    ASSERT_EQ(rc, 0) << "tarnvkey " << args[0] << ": " << output;
}


std::string certFixture(const std::string& name)
{
    return std::string(ZVIT_TEST_CERT_DIR) + "/" + name + ".der";
}

void ManagerTest::SetUp()
{
    m_root.reset(new TestRoot());
    m_store = m_root->path("vtoken");
    setConfig("VirtualToken", "StorePath", "vtoken");
    // Never a browser from a test.
    setConfig("UkeyManage", "OpenWebPageAtStartup", "0");
    useLanguage("1033");
    ASSERT_TRUE(LoadZTUtilLib());
    ASSERT_EQ(initSystemPath(g_szLanguageDirPath, g_szConfigFilePath), 0u);
    // The daemon's part: a fresh, empty registry.
    ASSERT_EQ(SlotManagerInitialize(), 0u);
}

void ManagerTest::TearDown()
{
    stopWindow();
    // The window left the registry; the daemon's own attachment goes too.
    DetachFromSharedMemory();
    DestroyWinProcLock();
    DestroySharedMemory();
    FreeZTUIExtendLib();
    FreeZTTokenLib();
    m_root.reset();
}

void ManagerTest::setConfig(const std::string& section, const std::string& key, const std::string& value)
{
    setIniValue(m_root->configPath(), section, key, value);
}

void ManagerTest::useLanguage(const std::string& code)
{
    setIniValue(m_root->path("Languages/Language.ini"), "LanguageDefaultSetting", "language", code);
    for (const char* qm : {"2052.qm", "1033.qm", "1028.qm"})
        fs::copy_file(std::string(ZVIT_TEST_LANGUAGE_DIR) + "/" + qm, m_root->path(std::string("Languages/") + qm),
                      fs::copy_options::overwrite_existing);
}

bool ManagerTest::startWindow(const std::function<void(UKeyMainWindow*)>& beforeInit)
{
    if (getLanguageFileName(g_szLanguageQmFileName) != 0)
        return false;
    fallBackWithoutFont(g_szLanguageQmFileName, sizeof g_szLanguageQmFileName);
    m_window.reset(new UKeyMainWindow(nullptr));
    if (beforeInit)
        beforeInit(m_window.get());
    return m_window->initDialog() == 0;
}

void ManagerTest::stopWindow()
{
    m_window.reset();
    // The window's destructor detached the shared registry; the daemon side
    // of this process keeps using it.
    OpenSharedMemory();
    AttachToSharedMemeory();
    CreateWinProcLock();
}

void ManagerTest::makeKey(const std::string& serial, const std::string& label, const std::vector<Cert>& certs)
{
    vkey(m_store, {"create", serial, "--label", label, "--pin", "12345678", "--pin-changed"});
    for (const Cert& cert : certs)
        vkey(m_store, {"import", serial, certFixture(cert.fixture), "--container", cert.container, "--type", cert.type,
                       "--usage", cert.usage});
}

namespace {

std::string deviceNameOf(const std::string& serial)
{
    return "ZVIT VKey " + serial;
}

void tokenInfoOf(const std::string& serial, uint64_t flags, TokenInfo64* info)
{
    memset(info, 0, sizeof(*info));
    memset(info->serialNumber, ' ', sizeof(info->serialNumber));
    memcpy(info->serialNumber, serial.data(), std::min(serial.size(), sizeof(info->serialNumber)));
    info->flags = flags;
}

}  // namespace

void ManagerTest::plugAndPublish(const std::string& serial, int slot, const std::string& label, uint64_t tokenFlags,
                                 bool announce)
{
    vkey(m_store, {"plug", serial});
    TokenInfo64 info;
    tokenInfoOf(serial, tokenFlags, &info);
    unsigned char utf16[ZT_LABEL_LEN] = {0};
    const QString text = QString::fromStdString(label);
    for (int i = 0; i < text.size() && i < ZT_LABEL_LEN / 2; ++i) {
        utf16[2 * i] = static_cast<unsigned char>(text[i].unicode() & 0xFF);
        utf16[2 * i + 1] = static_cast<unsigned char>(text[i].unicode() >> 8);
    }
    ASSERT_EQ(SlotManagerAddSlotInfo(slot, deviceNameOf(serial).c_str(), reinterpret_cast<unsigned char*>(&info),
                                     nullptr, utf16),
              0u);
    if (announce) {
        ASSERT_EQ(SlotManagerSetSlotChanged(ZT_KEY_EVENT_ADDED, slot), 0u);
    }
}

void ManagerTest::unplugAndUnpublish(const std::string& serial, int slot, bool announce)
{
    vkey(m_store, {"unplug", serial});
    TokenInfo64 info;
    tokenInfoOf(serial, 0, &info);
    ASSERT_EQ(SlotManagerRemoveSlotInfo(slot, deviceNameOf(serial).c_str(), reinterpret_cast<unsigned char*>(&info),
                                        nullptr),
              0u);
    if (ZTToken_ClearMemInfo)
        ZTToken_ClearMemInfo(static_cast<uint64_t>(slot), ZTTOKEN_MEMINFO_CERTS);
    if (announce) {
        ASSERT_EQ(SlotManagerSetSlotChanged(ZT_KEY_EVENT_REMOVED, slot), 0u);
    }
}

QTreeWidget* ManagerTest::tree() const
{
    return m_window->form()->treeWidget;
}

QString ManagerTest::statusText() const
{
    return m_window->form()->statusbar->currentMessage();
}

std::vector<std::string> ManagerTest::topLevelTexts() const
{
    std::vector<std::string> texts;
    for (int i = 0; i < tree()->topLevelItemCount(); ++i)
        texts.push_back(tree()->topLevelItem(i)->text(0).toStdString());
    return texts;
}
