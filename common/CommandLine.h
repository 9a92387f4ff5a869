#pragma once
// The options both programs take on their command line.
#include <cstdint>

struct ZTOption {
    const char* text;
    int32_t flag;
};
// "-d" at index 0, "-sys" at index 1, ended by a null text.
extern ZTOption g_options[];
enum { ZT_OPTION_DEBUG = 0, ZT_OPTION_SYS = 1 };

// Sets the flag of every option that appears; other words are ignored.
void parse_commandline(int argc, char** argv);
