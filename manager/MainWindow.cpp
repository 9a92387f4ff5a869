#include "Pkcs11SlotManager.h"

#include "MainWindow.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QIcon>
#include <QPixmap>
#include <cstring>

#include "CertManager.h"
#include "PinOperations.h"
#include "DeviceAccess.h"
#include "DeviceTables.h"
#include "DeviceWatch.h"
#include "LanguageWidgets.h"
#include "PlatformApi_Adapter.h"
#include "Pkcs11Mutex.h"
#include "Pkcs11SharedMemory.h"
#include "StartupChecks.h"
#include "TrayPresence.h"
#include "WindowAccess.h"
#include "WindowFit.h"
#include "ZTLog.h"
#include "ZTTokenExp_fundef.h"
#include "ZTUIExtend_fundef.h"
#include "ZTUtil_fundef.h"
#include "global_def_var.h"
#include "ui_MainWindow.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

void zvitInitImages();

namespace {

// The key service starts in well under a second; five leave room for a busy desktop.
const int kKeyServiceWaitMs = 5000;

unsigned configUInt(const char* key)
{
    return ZTUtil_GetIniUIntA ? ZTUtil_GetIniUIntA("ZTTokenInfo", key, 0, g_szConfigFilePath) : 0;
}

QByteArray supportProgramId()
{
    char value[ZT_PATH_LEN] = {0};
    size_t size = sizeof(value);
    if (!ZTUtil_GetIniStringA || ZTUtil_GetIniStringA("ZTTokenInfo", "SupportProgramID", "", value, &size,
                                                      g_szConfigFilePath) != 0)
        value[0] = '\0';
    value[ZT_PATH_LEN - 1] = '\0';
    return QByteArray(value);
}

}  // namespace

UKeyMainWindow::UKeyMainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::UKeyMainWindow), m_certManager(nullptr), m_pinOperations(nullptr)
{
    zvitInitImages();
    ui->setupUi(this);
    ui->pushButton_UpgradeOnline->hide();
    if (configUInt("IsSupportFormat") == 0)
        ui->pushButton_Format->hide();

    m_pinOperations = new PinOperations(ui, nullptr);
    m_certManager = new CCertManager(ui, nullptr);
    connectSignals();
    pressFocusedButtonsOnReturn(this);

    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "MainWindow");
    g_hWndNew = this;

    loadBanner();
    ui->treeWidget->setColumnCount(1);
    ui->treeWidget->setHeaderHidden(true);
    setWindowIcon(QIcon(":/Image/Res/logo.ico"));
    initThreadMutex();
}

UKeyMainWindow::~UKeyMainWindow()
{
    delete m_certManager;
    delete m_pinOperations;
    // The watch thread ends within its one-second poll; passes already
    // started still emit on this window, so they are waited for too.
    g_nThreadExit = 1;
    joinWatchThread();
    waitForUpdatePasses();
    SlotManagerUnRegisterProcess();
    DetachFromSharedMemory();
    DestroyWinProcLock();
    destroyThreadMutex();
    if (g_hWndNew == this)
        g_hWndNew = nullptr;
    delete ui;
}

void UKeyMainWindow::connectSignals()
{
    connect(ui->treeWidget, &QTreeWidget::itemClicked, this, &UKeyMainWindow::slot_treeWidgetItemClicked);
    connect(ui->treeWidget, &QTreeWidget::itemDoubleClicked, this, &UKeyMainWindow::slot_treeItemDoubleClicked);
    // The arrow keys do what a click does; a click itself is handled on release.
    connect(ui->treeWidget, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
        if (current && !(QApplication::mouseButtons() & Qt::LeftButton))
            slot_treeWidgetItemClicked(current, 0);
    });

    connect(this, &UKeyMainWindow::signal_addDeviceToUI, this, &UKeyMainWindow::slot_addTreeTopLevelNode);
    connect(this, &UKeyMainWindow::signal_addCertNodeToUI, this, &UKeyMainWindow::slot_addTreeSecondaryNode);
    connect(this, &UKeyMainWindow::signal_displayButton, this, &UKeyMainWindow::slot_displayButton);
    connect(this, &UKeyMainWindow::signal_openWebBank, this, &UKeyMainWindow::slot_openWebBank);
    connect(this, &UKeyMainWindow::signal_setStatusBarText, this, &UKeyMainWindow::slot_setStatusBarText);
    connect(this, &UKeyMainWindow::signal_verifyPinForSign, m_pinOperations, &PinOperations::slot_verifyPinForSign);
    connect(this, &UKeyMainWindow::signal_setPinBySlotID, this, &UKeyMainWindow::slot_setPinBySlotID);
    connect(this, &UKeyMainWindow::signal_showSetPinDialog, this, &UKeyMainWindow::slot_showSetPinDialog);
    connect(this, &UKeyMainWindow::signal_selectSpecifiedNode, this, &UKeyMainWindow::slot_selectSpecifiedNode);

    connect(ui->pushButton_OpenLink, &QPushButton::clicked, this, &UKeyMainWindow::slot_openWebBank);
    connect(ui->pushButton_ViewCert, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedViewCert);
    connect(ui->pushButton_TestSign, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedSignTest);
    connect(ui->pushButton_DownCert, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedDownloadCert);
    connect(ui->pushButton_Format, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedInitToken);
    connect(ui->pushButton_Refresh, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedRefresh);
    connect(ui->pushButton_SystemSetting, &QPushButton::clicked, this, &UKeyMainWindow::slot_systemOptions);
}

void UKeyMainWindow::loadBanner()
{
    char path[ZT_PATH_LEN];
    QPixmap banner;
    if (ztFilesPath(path, "Resources/dialog.jpg"))
        banner.load(QString::fromUtf8(path));
    ui->label_logoJPG->setImage(banner);
    if (supportProgramId().startsWith("03301"))
        resize(400, 450);
}

long UKeyMainWindow::initDialog()
{
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "initDialog");
    long ret = initLanguage();
    if (ret != 0)
        return ret;
    nameKeyTree(ui->treeWidget);
    // Sized once the texts are in.
    fitToContent(this);
    const QRect desktop = QApplication::desktop()->availableGeometry();
    move(desktop.x() + qMax(0, (desktop.width() - width()) / 2), desktop.y() + qMax(0, (desktop.height() - height()) / 2));

    g_dwIniForceModifyPin = configUInt("ForcedModifyPIN");
    g_dwSoftKBStyle = configUInt("SoftKBStyle");

    if (!LoadZTUtilLib()) {
        ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "LoadZTUtilLib() failed!");
        return failStartup(ZT_ERR_LOAD_LIBRARY, "Startup_LibraryMissing", keyLibraryPath("libZTUtil.so"));
    }
    if (!LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER)) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "LoadZTTokenLib() Failed!");
        return failStartup(ZT_ERR_LOAD_LIBRARY, "Startup_LibraryMissing", keyLibraryPath("libZTTokenKernel.so"));
    }
    if (!LoadZTUIExtendLib()) {
        ZTLog::WriteLog(ZT_LOG_FAILURE, LOG_SOURCE, __LINE__, "LoadZTUIExtendLib() Failed!");
        return failStartup(ZT_ERR_LOAD_LIBRARY, "Startup_LibraryMissing", keyLibraryPath("libZTUIExtend.so"));
    }
    fn_ZTUIEx_SetParentHwnd(g_hWndNew);
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "fn_ZTUIEx_SetParentHwnd-------");

    const DWORD code = attachKeyService(kKeyServiceWaitMs);
    if (code != 0)
        return failStartup(code, "Startup_KeyServiceMissing", keyServiceProgram());
    if (!SlotManagerRegisterProcess())
        return ZT_ERR_UNEXPECTED;

    emit signal_displayButton(false, 0);
    runThreadWaitForSlotChanged();
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "runThreadUpdateUI(INIT)");
    runThreadUpdateUI(static_cast<int>(g_nPostions_init));
    return 0;
}

long UKeyMainWindow::failStartup(unsigned long code, const char* textKey, const QString& detail)
{
    m_startupFailureKey = textKey;
    m_startupFailureDetail = detail;
    return static_cast<long>(code);
}

long UKeyMainWindow::initLanguage()
{
    char listPath[ZT_PATH_LEN];
    int n = snprintf(listPath, sizeof(listPath), "%sLanguage.ini", g_szLanguageDirPath);
    if (n < 0 || n >= static_cast<int>(sizeof(listPath)))
        return ZT_ERR_INVALID_ARG;
    char language[ZT_PATH_LEN] = {0};
    size_t size = sizeof(language);
    if (!ZTUtil_GetIniStringA)
        return ZT_ERR_LOAD_LIBRARY;
    DWORD ret = ZTUtil_GetIniStringA("LanguageDefaultSetting", "language", "2052", language, &size, listPath);
    if (ret != 0)
        return static_cast<long>(ret);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "initLanguage g_szLanguageQmFileName %s", g_szLanguageQmFileName);
    return static_cast<long>(
        Language_SetMainWindowStr(static_cast<Ui_UKeyMainWindow*>(ui), &Ui_UKeyMainWindow::retranslateUi, static_cast<QMainWindow*>(this),
                                  g_szLanguageQmFileName));
}

void UKeyMainWindow::hide_MainWindow()
{
    TrayPresence::putAway(this);
}

void UKeyMainWindow::show_MainWindow()
{
    platformapi_showApp(this);
}

void UKeyMainWindow::initThreadMutex()
{
    pthread_mutex_init(&g_mutexEnumDeviceNew, nullptr);
    pthread_mutex_init(&g_mutexDeviceEventNew, nullptr);
}

void UKeyMainWindow::destroyThreadMutex()
{
    pthread_mutex_destroy(&g_mutexEnumDeviceNew);
    pthread_mutex_destroy(&g_mutexDeviceEventNew);
}

void UKeyMainWindow::runThreadWaitForSlotChanged()
{
    startWatchThread(this);
}

void UKeyMainWindow::runThreadUpdateUI(int position)
{
    startUpdateThread(this, position);
}

void UKeyMainWindow::getDeviceHandleBySelectedNode(void** handle)
{
    ::getDeviceHandleBySelectedNode(ui->treeWidget, handle);
}

void UKeyMainWindow::sendSignal_addDeviceToUI(int role, QString stringDeviceLabel, QByteArray szDeviceName)
{
    emit signal_addDeviceToUI(role, stringDeviceLabel, szDeviceName);
}

void UKeyMainWindow::sendSignal_addCertNodeToUI(int role, QByteArray szDeviceName)
{
    emit signal_addCertNodeToUI(role, szDeviceName);
}

void UKeyMainWindow::sendSignal_displayButton(bool bShow, unsigned long dwButtonFlag)
{
    emit signal_displayButton(bShow, dwButtonFlag);
}

void UKeyMainWindow::sendSignal_openWebBank()
{
    emit signal_openWebBank();
}

void UKeyMainWindow::sendSignal_setStatusBarText(QString str, unsigned long lParam)
{
    emit signal_setStatusBarText(str, lParam);
}

void UKeyMainWindow::sendSignal_verifyPinForSign()
{
    emit signal_verifyPinForSign();
}

void UKeyMainWindow::sendSignal_setPinBySlotID(int slotID)
{
    emit signal_setPinBySlotID(slotID);
}

void UKeyMainWindow::sendSignal_showSetPinDialog(const char* szDeviceName)
{
    emit signal_showSetPinDialog(szDeviceName);
}

void UKeyMainWindow::sendSignal_selectSpecifiedNode(int index)
{
    emit signal_selectSpecifiedNode(index);
}
