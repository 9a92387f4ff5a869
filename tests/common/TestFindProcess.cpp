// The single-instance search reads the output of "ps"; the tests put their own
// "ps" first on PATH so every case is exact and no real process is involved.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "TestRoot.h"
#include "common_function.h"

namespace {

const char kProgram[] = "/opt/apps/org.zvit.zevudazivud/files/bin/tarnukey";

class FindProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedPath = getenv("PATH");
        std::string ps = m_root.tempDir() + "/ps";
        writeFile(ps, "#!/bin/sh\ncat \"" + m_root.tempDir() + "/ps.out\"\n");
        chmod(ps.c_str(), 0755);
        setenv("PATH", (m_root.tempDir() + ":" + m_savedPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", m_savedPath.c_str(), 1); }

    void psOutput(const std::string& text) { writeFile(m_root.tempDir() + "/ps.out", text); }
    static std::string row(long pid, const std::string& args)
    {
        return std::to_string(pid) + "  0.0 123456 7890 " + args + "\n";
    }

    TestRoot m_root;
    std::string m_savedPath;
};

const char kHeader[] = "    PID %CPU    VSZ   RSS COMMAND\n";

}  // namespace

TEST_F(FindProcess, AloneOrOldestMeansGoOn)
{
    const long self = getpid();
    int32_t pid = -7;
    psOutput(std::string(kHeader) + row(self, kProgram));
    EXPECT_FALSE(findpid_selfProcess(&pid, kProgram));

    // This process is listed first: it is the oldest and must go on, even
    // though another instance runs.
    psOutput(std::string(kHeader) + row(self, kProgram) + row(self + 5, std::string(kProgram) + " -sys"));
    EXPECT_FALSE(findpid_selfProcess(&pid, kProgram));
    EXPECT_EQ(pid, -7);

    psOutput("");
    EXPECT_FALSE(findpid_selfProcess(&pid, kProgram));
}

TEST_F(FindProcess, OlderInstanceIsFoundAndOthersIgnored)
{
    const long self = getpid();
    int32_t pid = 0;
    psOutput(std::string(kHeader) + row(self + 1000, "grep " + std::string(kProgram)) +
             row(42, "/usr/bin/other " + std::string(kProgram)) + row(self + 7, kProgram) + row(self, kProgram) +
             row(self + 3, std::string(kProgram) + "-helper"));
    ASSERT_TRUE(findpid_selfProcess(&pid, kProgram));
    // The prefix rule counts ".../tarnukey-helper" too, as the original search does.
    EXPECT_EQ(pid, self);
}

TEST_F(FindProcess, ManyMatchesAndOverlongColumnsStayInBounds)
{
    const long self = getpid();
    std::string out = kHeader;
    out += row(self + 100, kProgram);
    for (int i = 0; i < 40; ++i)
        out += row(self + 200 + i, kProgram);
    out += row(17, kProgram);  // the oldest comes after the 20 stored rows
    out += row(self + 300, std::string(kProgram) + std::string(6000, 'x'));
    out += std::string(300, '9') + " " + std::string(400, 'c') + " 1 2 " + kProgram + "\n";
    out += row(self, kProgram);
    psOutput(out);
    int32_t pid = 0;
    ASSERT_TRUE(findpid_selfProcess(&pid, kProgram));
    EXPECT_EQ(pid, 17);
}
