#pragma once
// Runs a browser test script where the browsers see only the test's own
// settings folders as /etc/chromium and /etc/firefox-esr (a private mount
// namespace), so the machine's policies never change a result and the
// test's never reach the machine.
#include <QString>
#include <QStringList>

struct BrowserSettings {
    QString chromium;  // seen as /etc/chromium
    QString firefox;   // seen as /etc/firefox-esr
};

// False, with the reason, where this machine allows no private mount namespace.
bool privateBrowserSettingsAvailable(QString* reason);
// Rewrites program and args to run inside such a namespace with settings.
void runWithBrowserSettings(const BrowserSettings& settings, QString* program, QStringList* args);
