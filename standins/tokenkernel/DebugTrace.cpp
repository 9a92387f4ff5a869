// The library's trace line goes to the software token's log.
#include <cstdarg>
#include <cstdio>
#include <type_traits>

#include "Log.h"
#include "TokenState.h"

ZTTK_EXPORT uint32_t ZTToken_DebugTrace(const char* format, ...)
{
    if (!format)
        return ZTTOKEN_ERR_INVALID_ARG;
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    vtoken::logLine(line);
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_DebugTrace);
