// Entry of the key manager: single instance, main window, tray, process
// signals and the web page bridge.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <memory>

#include "BridgeQuestions.h"
#include "WindowGlobals.h"
#include "common/ProcessScan.h"
#include "ProcessSignals.h"
#include "StartupChecks.h"
#include "StatusNotifierItem.h"
#include "common/SystemConfig.h"
#include "TrayMenu.h"
#include "TrayPresence.h"
#include "common/ZTLog.h"
#include "bindings/ZTUtil_fundef.h"
#include "bridge/ZTWebSocketServer.h"
#include "LanguageFonts.h"
#include "MainWindow.h"
#include "common/CommandLine.h"
#include "common/global_def_var.h"

#define LOG_SOURCE "main.cpp"

namespace {

void startupWarning(const char* text)
{
    QMessageBox::warning(nullptr, QStringLiteral("Warning"), QString::fromLatin1(text), QMessageBox::Yes,
                         QMessageBox::Yes);
}

}  // namespace

int main(int argc, char** argv)
{
    printf("+Welcome to ZTZUdeVovavadEruds.\n");
    fflush(stdout);
    // Before anything slow: a show request from a second start must not end
    // this process with the signals' default action while it starts.
    installProcessSignalHandlers();

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!LoadZTUtilLib()) {
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "LoadZTUtilLib() failed!");
        getLanguageFileName(g_szLanguageQmFileName);
        fallBackWithoutFont(g_szLanguageQmFileName, sizeof g_szLanguageQmFileName);
        return reportStartupFailure("Startup_LibraryMissing", keyLibraryPath("libZTUtil.so"));
    }
    parse_commandline(argc, argv);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "Enter main");
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "argc = %d", argc);

    ProcessSignalReceiver signalReceiver;

    // One manager per desktop user, found by the file it executes: any
    // spelling of the path starts the same program, and other accounts'
    // managers are theirs.
    const std::vector<RunningProcess> managers = processesRunningProgram(ownExecutablePath(), geteuid());
    if (!managers.empty() && managers.front().pid != getpid()) {
        kill(managers.front().pid, SIGUSR2);
        ZTLog::WriteLog(ZT_LOG_PROCESS, LOG_SOURCE, __LINE__, "Found process, Send signal, exit...");
        return 0;
    }

    const bool show = g_options[ZT_OPTION_SYS].flag == 0;
    ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, show ? "bShow = true" : "bShow = false");

    if (initSystemPath(g_szLanguageDirPath, g_szConfigFilePath) != 0) {
        ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "Can't Init SystemPath!");
        startupWarning("Can't Init SystemPath!");
        return 0;
    }
    if (getLanguageFileName(g_szLanguageQmFileName) != 0) {
        ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "Can't Init DefaultQmFileName!");
        startupWarning("Can't Init DefaultQmFileName!");
        return 0;
    }
    if (fallBackWithoutFont(g_szLanguageQmFileName, sizeof g_szLanguageQmFileName))
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "No font has the language's script, using %s",
                        g_szLanguageQmFileName);

    std::unique_ptr<UKeyMainWindow> window(new UKeyMainWindow(nullptr));
    if (window->initDialog() != 0) {
        ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "MainWindow.initDialog Failed!");
        if (window->startupFailureKey())
            return reportStartupFailure(window->startupFailureKey(), window->startupFailureDetail());
        return 1;
    }
    std::unique_ptr<QTranslator> translator(new QTranslator);
    translator->load(QString::fromUtf8(g_szLanguageQmFileName), QString(), QString(), QString());
    QApplication::installTranslator(translator.get());
    // The tray item's id and title, and the name desktops put beside titles.
    QGuiApplication::setApplicationDisplayName(QCoreApplication::translate("QObject", "Product_Name"));

    QMenu* trayMenu = nullptr;
    std::unique_ptr<QSystemTrayIcon> tray(createTrayIcon(window.get(), &trayMenu));
    StatusNotifierItem* item = createStatusNotifierItem(window.get(), trayMenu);
    std::unique_ptr<TrayPresence> presence(new TrayPresence(window.get(), tray.get(), item));

    if (show) {
        window->show();
        ZTLog::WriteLog(ZT_LOG_PROCESS, LOG_SOURCE, __LINE__, "w.show();");
    } else {
        // Without a tray, minimized: nothing may vanish from the screen.
        TrayPresence::putAway(window.get());
        ZTLog::WriteLog(ZT_LOG_PROCESS, LOG_SOURCE, __LINE__, "w.hide();");
    }
    g_pMainDlg = window.get();
    signalReceiver.attachWindow();
    // Announced once show and hide requests are taken.
    traceWindowState(window.get());

    std::unique_ptr<ZTWebSocketServer> server(new ZTWebSocketServer(51913, nullptr));
    BridgeQuestions bridgeQuestions;
    server->setPrompts(&bridgeQuestions);

    const int status = app.exec();

    signalReceiver.detachWindow();
    g_pMainDlg = nullptr;
    server->setPrompts(nullptr);
    server.reset();
    presence.reset();
    tray.reset();
    QApplication::removeTranslator(translator.get());
    translator.reset();
    window.reset();
    delete trayMenu;
    return status;
}
