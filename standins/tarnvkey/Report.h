#pragma once
// How handlers end: one "tarnvkey: ..." line on the error stream.
#include <cstdint>
#include <string>
#include <vector>

#include "Args.h"
#include "Commands.h"
#include "Status.h"

namespace tarnvkey {

int fail(Context& context, const std::string& message);
int failStatus(Context& context, const std::string& serial, vtoken::Status status);
// Prints the command's usage after the message.
int usageError(Context& context, const char* commandName, const std::string& message);
// Parses the options of commandName and checks the number of positional
// arguments; returns false after reporting.
bool parseCommand(Context& context, const char* commandName, size_t positionalCount,
                  const std::set<std::string>& valued, const std::set<std::string>& flags, ParsedArgs* parsed,
                  int* exitCode);
// One PEM or DER certificate from file, as the store would keep it; returns
// false after reporting why not.
bool readCertificateFile(Context& context, const std::string& file, std::vector<uint8_t>* der, int* exitCode);

}  // namespace tarnvkey
