#pragma once
// A throw-away installation root for one test: its own folders, its own
// "CSPName" (so shared-memory names never collide between tests) and the
// common layer's fixed inputs pointed into it. Restores everything on exit.
#include <string>

class TestRoot
{
public:
    struct Options {
        bool linkLibraries = true;  // Librarys/ -> the stand-ins of this build
        bool copyConfig = true;     // ConfigFile/Config.ini and Languages/Language.ini
    };
    TestRoot();
    explicit TestRoot(const Options& options);
    ~TestRoot();
    TestRoot(const TestRoot&) = delete;
    TestRoot& operator=(const TestRoot&) = delete;

    const std::string& root() const { return m_root; }  // with final slash
    std::string path(const std::string& relative) const { return m_root + relative; }
    const std::string& cspName() const { return m_cspName; }
    std::string configPath() const { return path("ConfigFile/Config.ini"); }
    // A folder inside the root for the test's own files.
    std::string tempDir() const { return path("tmp"); }
    // XDG_CONFIG_HOME while the root lives: the user's own settings go below it.
    std::string userConfigHome() const { return path("tmp/config"); }

    // Removes the shared-memory segments and semaphores named after this root's CSPName.
    void removeSharedObjects() const;

private:
    std::string m_root;
    std::string m_cspName;
    std::string m_saved[4];
    std::string m_savedEnvRoot;
    bool m_hadEnvRoot = false;
    std::string m_savedEnvConfig;
    bool m_hadEnvConfig = false;
};

// Plain-text helpers, independent of the code under test.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// Sets key=value in [section] of an ini file, adding what is missing.
void setIniValue(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value);
// "CSPName" simplified as the shared names use it.
std::string simplifiedCspName(const std::string& cspName);
// Removes every shared object the system makes under a CSPName.
void removeSharedObjectsOf(const std::string& cspName);
