#pragma once
// Diagnostics of the software token. By default a line goes to
// /tmp/zvittarn/zt_vtoken.log while that folder exists (the switch the
// programs' logs use); a program or a test may take the lines instead.
#include <functional>
#include <string>

namespace vtoken {

using LogSink = std::function<void(const std::string& line)>;
// Replaces the sink; an empty function restores the default.
void setLogSink(LogSink sink);
void logLine(const std::string& line);

}  // namespace vtoken
