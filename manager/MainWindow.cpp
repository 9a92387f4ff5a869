#include "registry/Pkcs11SlotManager.h"

#include "MainWindow.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QIcon>
#include <QPixmap>
#include <cstring>

#include "CertManager.h"
#include "PinOperations.h"
#include "DeviceModel.h"
#include "WindowGlobals.h"
#include "DeviceWatch.h"
#include "common/LanguageWidgets.h"
#include "common/PlatformApi_Adapter.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "StartupChecks.h"
#include "TrayPresence.h"
#include "WindowAccess.h"
#include "WindowFit.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"
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
    : QMainWindow(parent), ui(new Ui::UKeyMainWindow), m_devices(new DeviceModel(this)), m_certManager(nullptr),
      m_pinOperations(nullptr)
{
    zvitInitImages();
    ui->setupUi(this);
    ui->pushButton_UpgradeOnline->hide();
    if (configUInt("IsSupportFormat") == 0)
        ui->pushButton_Format->hide();

    m_pinOperations = new PinOperations(&m_devices->selection(), nullptr);
    m_certManager = new CCertManager(&m_devices->selection(), nullptr);
    connectSignals();
    pressFocusedButtonsOnReturn(this);

    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "MainWindow");
    g_hWndNew = this;

    loadBanner();
    ui->treeWidget->setColumnCount(1);
    ui->treeWidget->setHeaderHidden(true);
    setWindowIcon(QIcon(":/Image/Res/logo.ico"));
}

UKeyMainWindow::~UKeyMainWindow()
{
    delete m_certManager;
    delete m_pinOperations;
    // The watch thread ends within its one-second poll; passes already
    // started still emit on the model, so they are waited for too.
    stopWatchThread();
    m_devices->waitForUpdatePasses();
    SlotManagerUnRegisterProcess();
    DetachFromSharedMemory();
    DestroyWinProcLock();
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

    connect(ui->treeWidget, &QTreeWidget::itemSelectionChanged, this, &UKeyMainWindow::updateSelection);
    followDeviceModel();

    connect(this, &UKeyMainWindow::signal_setStatusBarText, this, &UKeyMainWindow::slot_setStatusBarText);
    connect(this, &UKeyMainWindow::signal_verifyPinForSign, m_pinOperations, &PinOperations::slot_verifyPinForSign);
    connect(ui->pushButton_ChangePin, &QPushButton::clicked, m_pinOperations, &PinOperations::slot_changePin);

    connect(ui->pushButton_OpenLink, &QPushButton::clicked, this, &UKeyMainWindow::slot_openWebBank);
    connect(ui->pushButton_ViewCert, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedViewCert);
    connect(ui->pushButton_TestSign, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedSignTest);
    connect(ui->pushButton_DownCert, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedDownloadCert);
    connect(ui->pushButton_Format, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedInitToken);
    connect(ui->pushButton_Refresh, &QPushButton::clicked, this, &UKeyMainWindow::slot_clickedRefresh);
    connect(ui->pushButton_SystemSetting, &QPushButton::clicked, this, &UKeyMainWindow::slot_systemOptions);
}

void UKeyMainWindow::followDeviceModel()
{
    // Passes emit from their own threads: each delivery is queued to this
    // window's thread and carries its own copy of names and texts.
    DeviceModel* model = m_devices;
    connect(model, &DeviceModel::keysCleared, this, [this] { slot_addTreeTopLevelNode(0, QString(), QByteArray()); });
    connect(model, &DeviceModel::keyFound, this,
            [this](QString nodeText, QByteArray deviceName) { slot_addTreeTopLevelNode(1, nodeText, deviceName); });
    connect(model, &DeviceModel::certificatesRead, this, [this] { slot_addTreeSecondaryNode(1, QByteArray()); });
    connect(model, &DeviceModel::keysPresent, this, [this](bool present) { slot_displayButton(present, 0); });
    connect(model, &DeviceModel::statusText, this, [this](QString key) { slot_setStatusBarText(key, 0); });
    connect(model, &DeviceModel::openBankPage, this, &UKeyMainWindow::slot_openWebBank);
    connect(model, &DeviceModel::selectNode, this, &UKeyMainWindow::slot_selectSpecifiedNode);
    connect(model, &DeviceModel::setPinRequested, this, &UKeyMainWindow::slot_setPinBySlotID);
}

void UKeyMainWindow::updateSelection()
{
    KeySelection& selection = m_devices->selection();
    const QList<QTreeWidgetItem*> selected = ui->treeWidget->selectedItems();
    selection = KeySelection();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* node = selected.first();
    QTreeWidgetItem* key = node->parent() ? node->parent() : node;
    selection.deviceName = key->data(0, Qt::UserRole).toString().toUtf8().left(ZT_PATH_LEN - 1);
    if (node->parent())
        selection.certIndex = node->data(0, Qt::UserRole).toInt();
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

    m_devices->setForceModifyPin(configUInt("ForcedModifyPIN") == 1);

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

    slot_displayButton(false, 0);
    startWatchThread(m_devices);
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "runThreadUpdateUI(INIT)");
    runThreadUpdateUI(ZT_KEY_EVENT_INIT);
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

void UKeyMainWindow::runThreadUpdateUI(int position)
{
    m_devices->startUpdatePass(static_cast<ZTKeyEvent>(position));
}

void UKeyMainWindow::sendSignal_setStatusBarText(QString str, unsigned long lParam)
{
    emit signal_setStatusBarText(str, lParam);
}
