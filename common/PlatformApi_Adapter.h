#pragma once
// Window show and hide as the tray and the single-instance signal ask for it.
class QWidget;

void platformapi_hideApp(QWidget* widget);
void platformapi_showApp(QWidget* widget);
