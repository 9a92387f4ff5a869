#include "PlatformApi_Adapter.h"

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
    widget->setWindowState(widget->windowState() & ~Qt::WindowMinimized);
    if (widget->isHidden())
        widget->show();
    widget->raise();
    widget->activateWindow();
}
