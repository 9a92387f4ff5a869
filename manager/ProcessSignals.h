#pragma once
// SIGUSR1/SIGUSR2 (hide/show the main window), SIGTERM/SIGHUP (quit through
// the event loop), SIGXFSZ and SIGWINCH. The handlers only write to a pipe;
// the GUI thread carries the request out.
#include <QObject>

class QSocketNotifier;
class QWidget;

void receSignal(int signum);
void updateCert(int signum);
void firefoxChangePin(int signum);

// Makes the pipe and installs the handlers. Safe before the application
// object exists; requests are dropped until a window is attached.
bool installProcessSignalHandlers();
// One line on standard output whenever the window is shown, hidden or
// minimized on request, so launchers and tests can follow it.
void traceWindowState(const QWidget* window);

class ProcessSignalReceiver : public QObject
{
    Q_OBJECT

public:
    // Needs the application object; reads the pipe on the GUI thread.
    explicit ProcessSignalReceiver(QObject* parent = nullptr);
    ~ProcessSignalReceiver() override;
    // From now on show/hide requests act on g_pMainDlg.
    void attachWindow();
    void detachWindow();

signals:
    void showRequested();
    void hideRequested();

private slots:
    void readPipe();

private:
    QSocketNotifier* m_notifier;
};
