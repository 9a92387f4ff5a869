#include "common_function.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "global_def_var.h"
// Relative, so builds that list common/ sources by hand need no extra folder.
#include "pindegree/PinDegree.h"

static_assert(ZT_PIN_DEGREE_WEAK == kZTPinWeak && ZT_PIN_DEGREE_MEDIUM == kZTPinMedium &&
                  ZT_PIN_DEGREE_STRONG == kZTPinStrong,
              "the programs and the utility library name the same degrees");

ZTOption g_options[] = {{"-d", 0}, {"-sys", 0}, {nullptr, 0}};

void parse_commandline(int argc, char** argv)
{
    if (argc < 2 || !argv)
        return;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i])
            continue;
        for (ZTOption* opt = g_options; opt->text; ++opt) {
            if (strcmp(argv[i], opt->text) == 0)
                opt->flag = 1;
        }
    }
}

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

int min(int a, int b)
{
    return b < a ? b : a;
}

char* formatLabelName(char* label, int size)
{
    if (!label || size <= 0)
        return label;
    int i = size - 1;
    while (i >= 0 && label[i] == ' ') {
        label[i] = '\0';
        --i;
    }
    if (label[size - 1] == '\0') {
        int zeros = 0;
        for (int j = size - 1; j >= 0 && label[j] == '\0'; --j)
            ++zeros;
        zeros &= ~1;
        memset(label + size - zeros, ' ', static_cast<size_t>(zeros));
    }
    return label;
}

DWORD GetPinDegree(const char* pin)
{
    return ztPinDegree(pin);
}

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

namespace {

// Text, version and time fields byte for byte; flags and counters by value
// (zero extension one way, the low 32 bits the other).
template <typename From, typename To>
DWORD copyTokenInfo(const From* in, To* out)
{
    if (!in || !out)
        return ZT_ERR_INVALID_ARG;
    using Counter = decltype(out->flags);
    memcpy(out->label, in->label, sizeof(in->label));
    memcpy(out->manufacturerID, in->manufacturerID, sizeof(in->manufacturerID));
    memcpy(out->model, in->model, sizeof(in->model));
    memcpy(out->serialNumber, in->serialNumber, sizeof(in->serialNumber));
    out->flags = static_cast<Counter>(in->flags);
    out->ulMaxSessionCount = static_cast<Counter>(in->ulMaxSessionCount);
    out->ulSessionCount = static_cast<Counter>(in->ulSessionCount);
    out->ulMaxRwSessionCount = static_cast<Counter>(in->ulMaxRwSessionCount);
    out->ulRwSessionCount = static_cast<Counter>(in->ulRwSessionCount);
    out->ulMaxPinLen = static_cast<Counter>(in->ulMaxPinLen);
    out->ulMinPinLen = static_cast<Counter>(in->ulMinPinLen);
    out->ulTotalPublicMemory = static_cast<Counter>(in->ulTotalPublicMemory);
    out->ulFreePublicMemory = static_cast<Counter>(in->ulFreePublicMemory);
    out->ulTotalPrivateMemory = static_cast<Counter>(in->ulTotalPrivateMemory);
    out->ulFreePrivateMemory = static_cast<Counter>(in->ulFreePrivateMemory);
    out->hardwareVersion = in->hardwareVersion;
    out->firmwareVersion = in->firmwareVersion;
    memcpy(out->utcTime, in->utcTime, sizeof(in->utcTime));
    return 0;
}

}  // namespace

DWORD tokenInfoConvert32to64(const TokenInfo32* in, TokenInfo64* out)
{
    return copyTokenInfo(in, out);
}

DWORD tokenInfoConvert64to32(const TokenInfo64* in, TokenInfo32* out)
{
    return copyTokenInfo(in, out);
}
