#pragma once
// Helpers of the software token's tests: the tool of this build, certificate
// fixtures, and a store folder inside a TestRoot.
#include <string>
#include <vector>

#include "TestRoot.h"

// Runs bin/tarnvkey of this build with "--store folder" first (when folder is
// not empty); returns the exit code and the combined output.
int runTool(const std::string& folder, const std::vector<std::string>& args, std::string* output = nullptr);
// A certificate fixture of the build (NAME.pem or NAME.der).
std::string fixture(const std::string& file);
// Bytes of a file.
std::vector<uint8_t> fileBytes(const std::string& path);
// Configures root's Config.ini to keep its store in root/tmp/store and returns that folder.
std::string useRootStore(const TestRoot& root);
