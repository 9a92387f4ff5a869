#include "TestRoot.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <semaphore.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "common/global_def_var.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> g_counter{0};

void setGlobal(char* dest, const std::string& value)
{
    if (value.size() >= ZT_PATH_LEN)
        throw std::runtime_error("test path too long: " + value);
    memcpy(dest, value.c_str(), value.size() + 1);
}

}  // namespace

TestRoot::TestRoot() : TestRoot(Options()) {}

TestRoot::TestRoot(const Options& options)
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zvit-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_root = std::string(buf.data()) + "/";
    for (const char* dir : {"bin", "Librarys", "Languages", "ConfigFile", "Resources", "tmp"}) {
        if (std::string(dir) == "Librarys" && options.linkLibraries)
            continue;
        fs::create_directories(m_root + dir);
    }
    if (options.linkLibraries)
        fs::create_directory_symlink(ZVIT_TEST_LIBRARY_DIR, m_root + "Librarys");

    m_cspName = "Test CSP " + std::to_string(getpid()) + "." + std::to_string(g_counter++);
    if (options.copyConfig) {
        fs::copy_file(ZVIT_TEST_SOURCE_DIR "/config/Config.ini", configPath());
        fs::copy_file(ZVIT_TEST_SOURCE_DIR "/config/Language.ini", path("Languages/Language.ini"));
        setIniValue(configPath(), "ZTTokenInfo", "CSPName", m_cspName);
    }

    // The stand-in libraries loaded by this process follow the same root.
    const char* env = getenv("ZVIT_FILES_ROOT");
    m_hadEnvRoot = env != nullptr;
    m_savedEnvRoot = env ? env : "";
    setenv("ZVIT_FILES_ROOT", m_root.c_str(), 1);
    // A user's own settings stay out of the tester's home.
    const char* config = getenv("XDG_CONFIG_HOME");
    m_hadEnvConfig = config != nullptr;
    m_savedEnvConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", userConfigHome().c_str(), 1);

    m_saved[0] = g_szFilesRoot;
    m_saved[1] = g_szLogBaseDir;
    m_saved[2] = g_szOsLanguageFile;
    m_saved[3] = g_szOsIssueFile;
    setGlobal(g_szFilesRoot, m_root);
    setGlobal(g_szLogBaseDir, tempDir() + "/");
    setGlobal(g_szOsLanguageFile, tempDir() + "/.language");
    setGlobal(g_szOsIssueFile, tempDir() + "/issue");
}

TestRoot::~TestRoot()
{
    setGlobal(g_szFilesRoot, m_saved[0]);
    setGlobal(g_szLogBaseDir, m_saved[1]);
    setGlobal(g_szOsLanguageFile, m_saved[2]);
    setGlobal(g_szOsIssueFile, m_saved[3]);
    if (m_hadEnvRoot)
        setenv("ZVIT_FILES_ROOT", m_savedEnvRoot.c_str(), 1);
    else
        unsetenv("ZVIT_FILES_ROOT");
    if (m_hadEnvConfig)
        setenv("XDG_CONFIG_HOME", m_savedEnvConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    removeSharedObjects();
    std::error_code ec;
    fs::remove_all(m_root, ec);
}

void TestRoot::removeSharedObjects() const
{
    removeSharedObjectsOf(m_cspName);
}

void removeSharedObjectsOf(const std::string& cspName)
{
    // Whatever the code under test made under these names: registry segment
    // and lock (with its holder record), memory certificate store.
    const std::string base = "/" + simplifiedCspName(cspName);
    for (const char* suffix : {"P11X64", "CSPX64", "P11SHMLOCK.holder"})
        shm_unlink((base + suffix).c_str());
    for (const char* suffix : {"P11SHMLOCK", "TKSHMLOCK"})
        sem_unlink((base + suffix).c_str());
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

void setIniValue(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value)
{
    std::istringstream in(readFile(path));
    std::string line, out, current;
    bool done = false, inSection = false;
    while (std::getline(in, line)) {
        std::string trimmed = line;
        if (!trimmed.empty() && trimmed[0] == '[') {
            if (inSection && !done) {
                out += key + "=" + value + "\n";
                done = true;
            }
            current = trimmed.substr(1, trimmed.find(']') - 1);
            inSection = current == section;
        } else if (inSection && !done && trimmed.compare(0, key.size() + 1, key + "=") == 0) {
            out += key + "=" + value + "\n";
            done = true;
            continue;
        }
        out += line + "\n";
    }
    if (!done) {
        if (!inSection)
            out += "[" + section + "]\n";
        out += key + "=" + value + "\n";
    }
    writeFile(path, out);
}

std::string simplifiedCspName(const std::string& cspName)
{
    std::string out;
    for (char c : cspName) {
        if (c != ' ' && c != '.')
            out += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return out;
}
