#include "CommandLine.h"

#include <cstring>

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
