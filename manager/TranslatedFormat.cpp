#include "TranslatedFormat.h"

#include <QByteArray>
#include <cstdarg>
#include <cstdio>
#include <cstring>

bool formatFitsArguments(const QByteArray& format, const char* kinds)
{
    const char* p = format.constData();
    const char* end = p + format.size();
    size_t used = 0;
    const size_t available = kinds ? strlen(kinds) : 0;
    while (p < end) {
        if (*p++ != '%')
            continue;
        if (p < end && *p == '%') {
            ++p;
            continue;
        }
        while (p < end && strchr("-+ #0", *p))
            ++p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        if (p < end && *p == '.') {
            ++p;
            while (p < end && *p >= '0' && *p <= '9')
                ++p;
        }
        int longs = 0;
        while (p < end && *p == 'l') {
            ++longs;
            ++p;
        }
        if (p >= end || used >= available)
            return false;
        const char conversion = *p++;
        char kind = 0;
        if (conversion == 's' && longs == 0)
            kind = 's';
        else if (strchr("diuxXoc", conversion) && longs == 0)
            kind = 'd';
        else if (strchr("diuxXo", conversion) && longs == 1)
            kind = 'l';
        if (kind == 0 || kind != kinds[used])
            return false;
        ++used;
    }
    return true;
}

QString formatTranslated(const QString& format, const char* kinds, ...)
{
    const QByteArray utf8 = format.toUtf8();
    if (!formatFitsArguments(utf8, kinds))
        return format;
    char buffer[1024];
    va_list args;
    va_start(args, kinds);
    int n = vsnprintf(buffer, sizeof(buffer), utf8.constData(), args);
    va_end(args);
    if (n < 0)
        return format;
    return QString::fromUtf8(buffer);
}
