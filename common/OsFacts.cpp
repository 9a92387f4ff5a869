#include "OsFacts.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "global_def_var.h"

namespace {

// Single-quotes a word for /bin/sh so a path can never become a command.
std::string shellQuote(const char* text)
{
    std::string out("'");
    for (const char* p = text; *p; ++p) {
        if (*p == '\'')
            out += "'\\''";
        else
            out += *p;
    }
    out += '\'';
    return out;
}

}  // namespace

bool getOSversion_Linux(char* text, unsigned long size)
{
    if (!text || size == 0)
        return false;
    size_t used = strnlen(text, size);
    if (used == size) {
        text[size - 1] = '\0';
        used = size - 1;
    }
    FILE* file = fopen(g_szOsIssueFile, "r");
    if (file) {
        char piece[4096];
        size_t got;
        while ((got = fread(piece, 1, sizeof(piece), file)) > 0 && used + 1 < size) {
            size_t take = got < size - 1 - used ? got : size - 1 - used;
            memcpy(text + used, piece, take);
            used += take;
            text[used] = '\0';
        }
        fclose(file);
    }
    // The issue file's escapes (\n, \l) and its line end are cut off.
    for (char* p = text; *p; ++p) {
        if (*p == '\\' || *p == '\n') {
            *p = '\0';
            break;
        }
    }
    return true;
}

DWORD GetOSLanguage(char* fileName)
{
    if (!fileName)
        return ZT_ERR_INVALID_ARG;
    std::string command = "cat " + shellQuote(g_szOsLanguageFile) + " 2>&1";
    char last[4096] = {0};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe) {
        char line[4096];
        while (fgets(line, sizeof(line), pipe)) {
            printf("+DEBUG: PlatformApi GetOSLanguage() line = %s \n", line);
            memcpy(last, line, sizeof(last));
        }
        pclose(pipe);
    }
    const char* name = "1033.qm";
    if (strncmp(last, "zh_CN", 5) == 0)
        name = "2052.qm";
    else if (strncmp(last, "zh_TW", 5) == 0)
        name = "1028.qm";
    snprintf(fileName, ZT_OS_LANGUAGE_FILE_LEN, "%s", name);
    printf("+DEBUG: PlatformApi GetOSLanguage() szLanguageQMFileName = %s \n", fileName);
    return 0;
}
