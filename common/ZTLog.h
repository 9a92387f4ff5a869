#pragma once
// Trace files of both programs. Logging is switched on by creating the folder
// /tmp/zvittarn; while it is missing a call costs one lstat(). What a folder
// must be to be written to is in LogFile.h.

class ZTLog
{
public:
    ZTLog() = default;
    static void WriteLog(unsigned long level, const char* sourceFile, long line, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    static void DaemonWriteLog(unsigned long level, const char* sourceFile, long line, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
};

// Log folder and file names as both programs form them.
void ztLogDirectory(char* buffer, unsigned long size);
