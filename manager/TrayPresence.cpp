#include "TrayPresence.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

#include "WindowFit.h"

namespace {

// A tray host can appear at any time (a panel restarted, a slow session);
// asking the display server is one round trip.
const int kPollMs = 2000;

TrayPresence* g_presence = nullptr;

}  // namespace

TrayPresence::TrayPresence(QMainWindow* window, QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent), m_window(window), m_tray(tray)
{
    g_presence = this;
    if (QMenu* menu = m_tray->contextMenu())
        m_window->menuBar()->addActions(menu->actions());
    m_window->installEventFilter(this);
    connect(&m_poll, &QTimer::timeout, this, &TrayPresence::check);
    m_poll.start(kPollMs);
    apply(QSystemTrayIcon::isSystemTrayAvailable(), false);
}

TrayPresence::~TrayPresence()
{
    if (g_presence == this)
        g_presence = nullptr;
    m_window->removeEventFilter(this);
}

bool TrayPresence::trayShown()
{
    return g_presence && g_presence->m_shown;
}

void TrayPresence::putAway(QWidget* window)
{
    if (trayShown())
        window->hide();
    else
        window->showMinimized();
}

void TrayPresence::check()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available != m_shown)
        apply(available, true);
}

void TrayPresence::apply(bool shown, bool windowPlaced)
{
    m_shown = shown;
    // Showing the icon again makes Qt look for the tray that just came.
    m_tray->hide();
    if (shown)
        m_tray->show();
    m_window->menuBar()->setVisible(!shown);
    fitToContent(m_window);
    // A window hidden into a tray that went away would be out of reach.
    if (!shown && windowPlaced && m_window->isHidden())
        m_window->showMinimized();
    emit trayChanged(shown);
}

bool TrayPresence::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Close && !m_shown) {
            // Closing would hide it for good; the bridge keeps serving.
            event->ignore();
            m_window->showMinimized();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
