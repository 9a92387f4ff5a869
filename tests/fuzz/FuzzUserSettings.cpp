// Any bytes as the user's own settings file: reading never crashes, leaks or
// hands out a key that is no user setting, and a value written over whatever
// the file held reads back as written.
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/UserSettings.h"
#include "common/global_def_var.h"

namespace {

std::string g_file;

void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "broken promise: %s\n", what);
        abort();
    }
}

void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Key {
    const char* section;
    const char* key;
};
const Key kUserKeys[] = {{"WebBridge", "RememberedAllowedSites"},
                         {"WebBridge", "RememberedDeniedSites"},
                         {"UkeyManage", "OpenWebPageAtStartup"}};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quietMessages);
    char pattern[] = "/tmp/zvit-fuzz-settings-XXXXXX";
    const std::string home = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    // No log folder: refused files are reported to a log nobody keeps here.
    snprintf(g_szLogBaseDir, sizeof(g_szLogBaseDir), "%s/nolog/", home.c_str());
    const std::string folder = home + "/" ZT_USER_SETTINGS_FOLDER;
    mkdir(folder.c_str(), 0700);
    g_file = folder + "/Config.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* out = fopen(g_file.c_str(), "wb");
    if (!out)
        return 0;
    fwrite(data, 1, size, out);
    fclose(out);
    chmod(g_file.c_str(), 0600);

    QString value;
    for (const Key& k : kUserKeys)
        readUserSetting(k.section, k.key, &value);
    // The bank's policy is never taken from the user's file, whatever it says.
    check(!readUserSetting("WebBridge", "AllowedOrigins", &value), "a policy key was read from the user's file");
    check(!readUserSetting("WebBridge", "AskUnknownOrigins", &value), "a policy key was read from the user's file");

    // Some inputs choose the value too: what follows the first NUL.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t nul = bytes.find('\0');
    const QString written = nul == std::string::npos ? QStringLiteral("https://a.example;https://b.example")
                                                     : QString::fromUtf8(bytes.substr(nul + 1).c_str());
    if (writeUserSetting("WebBridge", "RememberedDeniedSites", written) == 0) {
        QString back;
        check(readUserSetting("WebBridge", "RememberedDeniedSites", &back), "a written value is missing");
        check(back == written, "a written value reads back otherwise");
    }
    return 0;
}
