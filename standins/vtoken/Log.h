#pragma once
// Diagnostics of the software token. By default a line goes to zt_vtoken.log
// in the programs' log folder (/tmp/zvittarn), under the same conditions as
// their own logs (LogFile.h); a program or a test may take the lines instead.
#include <functional>
#include <string>

namespace vtoken {

using LogSink = std::function<void(const std::string& line)>;
// Replaces the sink; an empty function restores the default.
void setLogSink(LogSink sink);
// Points the default sink at another log folder (tests); empty restores the
// programs' folder.
void setLogFolder(const std::string& folder);
void logLine(const std::string& line);

}  // namespace vtoken
