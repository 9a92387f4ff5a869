#include "PlatformApi_Adapter.h"

#include <QGuiApplication>
#include <QWidget>

void platformapi_hideApp(QWidget* widget)
{
    if (widget)
        widget->hide();
}

void platformapi_showApp(QWidget* widget)
{
    if (!widget)
        return;
    // Wayland refuses activation by the client; a window mapped anew is put
    // in front instead.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && !widget->isHidden())
        widget->hide();
    widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
    if (widget->isHidden())
        widget->show();
    widget->raise();
    widget->activateWindow();
}
