// The demo's registry dump against a registry the common layer really wrote:
// the offsets it reads must stay those of the shared layout.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "registry/Pkcs11SlotManager.h"
#include "RegistryFixture.h"
#include "common/ZTCommonDef.h"

namespace {

class DemoRegistryDump : public RegistryTest
{
protected:
    int dump(std::string* output)
    {
        return runProgram(ZVIT_TEST_PYTHON, {ZVIT_TEST_SOURCE_DIR "/scripts/demo/registry.py", "--config",
                                             m_root->configPath()},
                          output);
    }
};

void tokenInfo(unsigned char* info, const char* label, const char* serial)
{
    memset(info, ' ', sizeof(TokenInfo64));
    memcpy(info, label, strlen(label));          // label[32]
    memcpy(info + 80, serial, strlen(serial));   // serialNumber[16]
}

void utf16Label(unsigned char* out, const char* ascii)
{
    memset(out, 0, 64);
    for (size_t i = 0; ascii[i] && i < 31; ++i)
        out[2 * i] = static_cast<unsigned char>(ascii[i]);
}

TEST_F(DemoRegistryDump, ShowsPublishedSlotsAndRegisteredProcesses)
{
    ASSERT_EQ(0u, SlotManagerInitialize());
    unsigned char info[sizeof(TokenInfo64)];
    unsigned char label[64];
    tokenInfo(info, "Token Zero", "SER-0000");
    utf16Label(label, "Key in slot zero");
    ASSERT_EQ(0u, SlotManagerAddSlotInfo(0, "ZVIT VKey SER-0000", info, nullptr, label));
    tokenInfo(info, "Token Two", "SER-0002");
    utf16Label(label, "Key in slot two");
    ASSERT_EQ(0u, SlotManagerAddSlotInfo(2, "ZVIT VKey SER-0002", info, nullptr, label));
    ASSERT_TRUE(SlotManagerRegisterProcess());
    ASSERT_EQ(0u, SlotManagerSetSlotChanged(2, 2));

    std::string out;
    ASSERT_EQ(0, dump(&out)) << out;
    EXPECT_NE(std::string::npos, out.find(shmName() + ": 2 key(s) present")) << out;
    EXPECT_NE(std::string::npos, out.find("slot 0: 'Key in slot zero'  device 'ZVIT VKey SER-0000'")) << out;
    EXPECT_NE(std::string::npos, out.find("token label 'Token Zero', serial 'SER-0000', slot id 0, flags 0x3")) << out;
    EXPECT_NE(std::string::npos, out.find("slot 1: empty")) << out;
    EXPECT_NE(std::string::npos, out.find("slot 2: 'Key in slot two'  device 'ZVIT VKey SER-0002'")) << out;
    EXPECT_NE(std::string::npos, out.find("serial 'SER-0002', slot id 2")) << out;
    EXPECT_NE(std::string::npos, out.find("slot 3: empty")) << out;
    EXPECT_NE(std::string::npos, out.find("Registered processes: 1")) << out;
    EXPECT_NE(std::string::npos, out.find("process " + std::to_string(getpid()))) << out;
    EXPECT_NE(std::string::npos, out.find("pending change: slot 2")) << out;
    SlotManagerUnRegisterProcess();
}

TEST_F(DemoRegistryDump, RefusesMissingAndWrongSizedSegments)
{
    std::string out;
    EXPECT_EQ(1, dump(&out));
    EXPECT_NE(std::string::npos, out.find("No slot registry " + shmName())) << out;

    // Something else under the registry's name is never read as slots.
    int fd = shm_open(("/" + shmName()).c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, 4096));
    close(fd);
    EXPECT_EQ(1, dump(&out));
    EXPECT_NE(std::string::npos, out.find("holds 4096 bytes, not 57472")) << out;
}

}  // namespace
