#pragma once
// The one way the programs and the stand-in libraries append to their log files.
//
// Logging is switched on by creating the log folder. Because any local user may
// create it first, a line is written only into a real folder (not a link) of
// this user or of root that neither group nor others can write, and only into a
// regular file opened inside that very folder. Otherwise nothing is written and
// the process says once on stderr why. A missing folder is the normal "off"
// state: it costs one lstat() and prints nothing.
//
// errno is left as the caller had it.
#include <string>

namespace ztlogfile {

// Where the log folder lives when no test says otherwise (with final slash).
constexpr const char kDefaultBase[] = "/tmp/";
// The log folder below base (base ends with a slash): "<base>zvittarn".
std::string folderIn(const std::string& base);

// One log file held open for one line (or a few).
class LogFile
{
public:
    LogFile(const std::string& folder, const char* fileName);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // One write() on an O_APPEND descriptor, so lines of threads and processes
    // never tear or interleave.
    bool write(const std::string& text);

private:
    int m_fd = -1;
};

// Opens, writes text and closes.
bool appendText(const std::string& folder, const char* fileName, const std::string& text);

// Lets the next refusal be printed again, so that each test sees its own.
void resetRefusalNote();

}  // namespace ztlogfile
