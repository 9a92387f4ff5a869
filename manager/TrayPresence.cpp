#include "TrayPresence.h"

#include <QCloseEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

#include "StatusNotifierItem.h"
#include "WindowFit.h"

namespace {

// A tray host can appear at any time (a panel restarted, a slow session);
// asking the display server is one round trip.
const int kPollMs = 2000;

TrayPresence* g_presence = nullptr;

}  // namespace

TrayPresence::TrayPresence(QMainWindow* window, QSystemTrayIcon* tray, StatusNotifierItem* item, QObject* parent)
    : QObject(parent), m_window(window), m_tray(tray), m_item(item)
{
    g_presence = this;
    if (QMenu* menu = m_tray->contextMenu())
        m_window->menuBar()->addActions(menu->actions());
    m_window->installEventFilter(this);
    connect(&m_poll, &QTimer::timeout, this, &TrayPresence::check);
    m_poll.start(kPollMs);
    if (m_item)
        connect(m_item, &StatusNotifierItem::registeredChanged, this, &TrayPresence::check);
    apply(false);
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

bool TrayPresence::itemRegistered() const
{
    return m_item && m_item->isRegistered();
}

bool TrayPresence::xembedAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayPresence::check()
{
    const bool item = itemRegistered();
    const bool icon = !item && xembedAvailable();
    if ((item || icon) != m_shown || icon != m_iconShown)
        apply(true);
}

void TrayPresence::apply(bool windowPlaced)
{
    const bool item = itemRegistered();
    m_iconShown = !item && xembedAvailable();
    const bool shown = item || m_iconShown;
    m_shown = shown;
    // Showing the icon again makes Qt look for the tray that just came.
    m_tray->hide();
    if (m_iconShown)
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
