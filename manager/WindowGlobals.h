#pragma once
// The main window as the process's signal handlers and the UI extension
// library reach it.

class QObject;
class UKeyMainWindow;
// The main window as a plain object (the UI extension's dialog parent).
extern QObject* g_hWndNew;
// Set by main once initDialog succeeded; signal requests act on it.
extern UKeyMainWindow* g_pMainDlg;
