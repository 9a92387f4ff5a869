#pragma once
// Process utilities shared by both programs: command line, token
// information layouts, labels, PIN strength, OS facts.
#include <cstdint>

#include "ZTCommonDef.h"

struct ZTOption {
    const char* text;
    int32_t flag;
};
// "-d" at index 0, "-sys" at index 1, ended by a null text.
extern ZTOption g_options[];
enum { ZT_OPTION_DEBUG = 0, ZT_OPTION_SYS = 1 };

void parse_commandline(int argc, char** argv);
int min(int a, int b);
char* formatLabelName(char* label, int size);
DWORD GetPinDegree(const char* pin);
bool getOSversion_Linux(char* text, unsigned long size);
DWORD GetOSLanguage(char* fileName);
DWORD tokenInfoConvert32to64(const TokenInfo32* in, TokenInfo64* out);
DWORD tokenInfoConvert64to32(const TokenInfo64* in, TokenInfo32* out);

#define ZT_PIN_DEGREE_WEAK 0xFF00u
#define ZT_PIN_DEGREE_MEDIUM 0xFF01u
#define ZT_PIN_DEGREE_STRONG 0xFF02u
#define ZT_OS_LANGUAGE_FILE_LEN 8  // "2052.qm" and its terminator
