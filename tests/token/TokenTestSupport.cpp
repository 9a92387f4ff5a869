#include "TokenTestSupport.h"

#include "ChildProcess.h"

int runTool(const std::string& folder, const std::vector<std::string>& args, std::string* output)
{
    std::vector<std::string> all;
    if (!folder.empty()) {
        all.push_back("--store");
        all.push_back(folder);
    }
    all.insert(all.end(), args.begin(), args.end());
    std::string captured;
    int rc = runProgram(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", all, &captured);
    if (output)
        *output = captured;
    return rc;
}

std::string fixture(const std::string& file)
{
    return std::string(ZVIT_TEST_BINARY_DIR) + "/tests/data/certs/" + file;
}

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::string text = readFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string useRootStore(const TestRoot& root)
{
    std::string folder = root.tempDir() + "/store";
    setIniValue(root.configPath(), "VirtualToken", "StorePath", folder);
    return folder;
}
