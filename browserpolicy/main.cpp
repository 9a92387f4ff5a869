// tarn-browser-policy [--root DIR]: writes the browsers' managed settings
// from [WebBridge] AllowedOrigins of the installed Config.ini, so the bank's
// listed sites reach the key manager without the browser's question, or
// removes ours when the list names no web origin. Run by the package's
// configuration and by the administrator after changing that list.
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "bridge/BridgeConfig.h"
#include "BrowserPolicy.h"
#include "common/PlatformApi.h"
#include "PolicyFiles.h"
#include "common/SystemConfig.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"
#include "zvit_build_config.h"

namespace {

const char kUsage[] =
    "usage: tarn-browser-policy [--root DIR]\n"
    "Writes the managed settings of Chromium, Google Chrome, Microsoft Edge and\n"
    "Firefox ESR that let the pages of [WebBridge] AllowedOrigins (Config.ini)\n"
    "reach the key manager on this computer, or removes them when the list names\n"
    "no web origin. --root DIR works on the installation below DIR.\n";

void out(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
}

void err(const QString& text)
{
    std::fprintf(stderr, "tarn-browser-policy: %s\n", qPrintable(text));
}

QString below(const QString& root, const char* path)
{
    return root + QString::fromUtf8(path).mid(1);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString root = QStringLiteral("/");
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (args[i] == QLatin1String("--root") && i + 1 < args.size() && args[i + 1].startsWith(QLatin1Char('/'))) {
            root = args[++i];
            if (!root.endsWith(QLatin1Char('/')))
                root += QLatin1Char('/');
            continue;
        }
        std::fputs(kUsage, stderr);
        return 2;
    }

    const QByteArray filesRoot = QFile::encodeName(below(root, ZVIT_FILES_ROOT));
    if (filesRoot.size() >= static_cast<int>(sizeof(g_szFilesRoot))) {
        err(QStringLiteral("the root %1 is too long").arg(root));
        return 2;
    }
    zt_strlcpy(g_szFilesRoot, filesRoot.constData(), sizeof(g_szFilesRoot));
    initSystemPath(g_szLanguageDirPath, g_szConfigFilePath);
    const QString config = QFile::decodeName(g_szConfigFilePath);
    if (!QFileInfo(config).isReadable()) {
        err(QStringLiteral("cannot read %1; nothing changed").arg(config));
        return 1;
    }
    // The list is read as the bridge reads it, through the utility library.
    if (!LoadZTUtilLib()) {
        err(QStringLiteral("the key libraries (%1Librarys/libZTUtil.so) are not installed, so %2 cannot be read "
                           "as the key manager reads it; nothing changed. Run tarn-browser-policy again once they "
                           "are installed.")
                .arg(QFile::decodeName(filesRoot), config));
        return 1;
    }
    const PolicyOrigins wanted = policyOrigins(bridgeConfigList(ZT_BRIDGE_KEY_ORIGINS));
    for (const QString& skipped : wanted.skipped)
        err(skipped);

    const QString systemRoot = below(root, ZVIT_SYSTEM_ROOT);
    bool ok = true;
    bool wrote = false;
    for (const PolicyFile& file : policyFiles()) {
        const QString path = systemRoot + QLatin1String(file.path);
        const QByteArray content = file.content(wanted.origins);
        const QString browser = QLatin1String(file.browser);
        QString error;
        bool removed = false;
        if (content.isEmpty() && !removePolicyFile(path, systemRoot + QLatin1String(file.keep), &removed, &error)) {
            err(QStringLiteral("cannot remove %1: %2").arg(path, error));
            ok = false;
        } else if (removed) {
            out(QStringLiteral("removed %1 (%2)").arg(path, browser));
        } else if (!content.isEmpty() && !writePolicyFile(path, content, &error)) {
            err(QStringLiteral("cannot write %1: %2").arg(path, error));
            ok = false;
        } else if (!content.isEmpty()) {
            out(QStringLiteral("wrote %1 (%2)").arg(path, browser));
            wrote = true;
        }
    }
    if (wrote) {
        QStringList sites;
        for (const PolicyOrigin& o : wanted.origins)
            sites << policyOriginText(o);
        out(QStringLiteral("pages allowed to reach the key manager: %1").arg(sites.join(QLatin1String(", "))));
    } else if (ok) {
        out(QStringLiteral("AllowedOrigins in %1 names no web origin: no browser settings of ours").arg(config));
    }
    return ok ? 0 : 1;
}
