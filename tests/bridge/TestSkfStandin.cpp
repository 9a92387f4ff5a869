// The SKF stand-in loaded as the bridge loads it, over a store of virtual keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

#include "BridgeTestKeys.h"
#include "ChildProcess.h"
#include "bridge/SkfBinding.h"

using namespace zvitskf;

namespace {

const char kLibrary[] = ZVIT_TEST_LIBRARY_DIR "/libtarnZVITSKF.so";

std::vector<std::string> namesOf(const char* list, size_t size)
{
    std::vector<std::string> names;
    for (size_t offset = 0; offset < size && list[offset];) {
        names.emplace_back(list + offset);
        offset += names.back().size() + 1;
    }
    return names;
}

class SkfStandin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        handle = dlopen(kLibrary, RTLD_LAZY);
        ASSERT_NE(handle, nullptr) << dlerror();
        ASSERT_TRUE(resolveTable(handle));
    }
    void TearDown() override
    {
        if (handle)
            dlclose(handle);
    }

    HAPPLICATION openApp(const std::string& serial)
    {
        DEVHANDLE dev = nullptr;
        EXPECT_EQ(SKF_ConnectDev(vtoken::deviceNameFor(serial).c_str(), &dev), SAR_OK);
        HAPPLICATION app = nullptr;
        EXPECT_EQ(SKF_OpenApplication(dev, "ZVITAPP", &app), SAR_OK);
        return app;
    }

    BridgeTestKeys keys;
    void* handle = nullptr;
};

// Exactly the 49 names of the table leave the library: nothing of the key
// store inside may clash with a caller's symbols.
TEST(SkfStandinExports, OnlyTheTableIsExported)
{
    std::string out;
    ASSERT_EQ(runProgram("nm", {"-D", "--defined-only", kLibrary}, &out), 0);
    std::vector<std::string> exported;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        const std::string line = out.substr(start, end - start);
        start = end + 1;
        const size_t space = line.rfind(' ');
        if (line.size() > 19 && (line[17] == 'T' || line[17] == 'D' || line[17] == 'B') && space != std::string::npos)
            exported.push_back(line.substr(space + 1));
    }
    std::vector<std::string> table;
#define SKF_NAME(name, params) table.push_back(#name);
    SKF_FUNCTIONS(SKF_NAME)
#undef SKF_NAME
    std::sort(exported.begin(), exported.end());
    std::sort(table.begin(), table.end());
    EXPECT_EQ(exported, table);
}

TEST_F(SkfStandin, UnimplementedFunctionsSayNotSupported)
{
    uint8_t buffer[64] = {};
    SKF_ULONG length = sizeof(buffer);
    SKF_HANDLE h = nullptr;
    EXPECT_EQ(SKF_GenRandom(nullptr, buffer, 16), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_CreateContainer(nullptr, "c", nullptr), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_ImportCertificate(nullptr, TRUE, buffer, 10), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_RSASignData(nullptr, buffer, 10, buffer, &length), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_RSADigestSignData(nullptr, 1, buffer, 10, buffer, &length), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_SetSymmKey(nullptr, buffer, 1, &h), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_EncryptInit(nullptr, BLOCKCIPHERPARAM{}), SAR_NOTSUPPORTYETERR);
    EXPECT_EQ(SKF_ImportSessionKey(nullptr, 1, buffer, 10, &h), SAR_NOTSUPPORTYETERR);
}

TEST_F(SkfStandin, EnumeratesKeysWithTheSizeProtocol)
{
    keys.addKey("A0001", "111111");
    keys.addKey("A0002", "222222");
    keys.addKey("A0003", "333333", false);

    SKF_ULONG size = 0;
    ASSERT_EQ(SKF_EnumDev(TRUE, nullptr, &size), SAR_OK);
    const std::string expected = "ZVIT VKey A0001\0ZVIT VKey A0002\0\0";
    EXPECT_EQ(size, sizeof("ZVIT VKey A0001") * 2 + 1);

    std::vector<char> list(64, 'x');
    SKF_ULONG small = size - 1;
    EXPECT_EQ(SKF_EnumDev(TRUE, list.data(), &small), SAR_BUFFER_TOO_SMALL);
    EXPECT_EQ(small, size);
    EXPECT_EQ(list[0], 'x') << "nothing written into a buffer that is too small";

    ASSERT_EQ(SKF_EnumDev(TRUE, list.data(), &size), SAR_OK);
    EXPECT_EQ(std::string(list.data(), size), std::string("ZVIT VKey A0001\0ZVIT VKey A0002\0", 33));

    SKF_ULONG all = sizeof(list);
    std::vector<char> everything(256, 0);
    all = static_cast<SKF_ULONG>(everything.size());
    ASSERT_EQ(SKF_EnumDev(FALSE, everything.data(), &all), SAR_OK);
    EXPECT_EQ(namesOf(everything.data(), all).size(), 3u);

    EXPECT_EQ(SKF_EnumDev(TRUE, list.data(), nullptr), SAR_INVALIDPARAMERR);
}

TEST_F(SkfStandin, EmptyStoreGivesAnEmptyList)
{
    SKF_ULONG size = 0;
    ASSERT_EQ(SKF_EnumDev(TRUE, nullptr, &size), SAR_OK);
    EXPECT_EQ(size, 1u);
    DEVHANDLE dev = nullptr;
    EXPECT_NE(SKF_ConnectDev("", &dev), SAR_OK);
    EXPECT_EQ(dev, nullptr);
}

TEST_F(SkfStandin, DeviceInformationAndHandleChecks)
{
    keys.addKey("SN12345678", "111111");
    DEVHANDLE dev = nullptr;
    EXPECT_EQ(SKF_ConnectDev("ZVIT VKey nobody", &dev), SAR_DEVICE_REMOVED);
    ASSERT_EQ(SKF_ConnectDev("ZVIT VKey SN12345678", &dev), SAR_OK);

    DEVINFO info;
    memset(&info, 0xAB, sizeof(info));
    ASSERT_EQ(SKF_GetDevInfo(dev, &info), SAR_OK);
    EXPECT_EQ(std::string(info.SerialNumber), "SN12345678");
    EXPECT_EQ(info.SerialNumber[sizeof(info.SerialNumber) - 1], '\0');
    EXPECT_EQ(std::string(info.Label), "Key SN12345678");

    SKF_ULONG state = 9;
    EXPECT_EQ(SKF_GetDevState("ZVIT VKey SN12345678", &state), SAR_OK);
    EXPECT_EQ(state, 1u);

    // Unplugged under an open handle: the key is gone, not the process.
    ASSERT_EQ(keys.store().unplug("SN12345678"), vtoken::Status::Ok);
    EXPECT_EQ(SKF_GetDevInfo(dev, &info), SAR_DEVICE_REMOVED);
    EXPECT_EQ(SKF_GetDevState("ZVIT VKey SN12345678", &state), SAR_OK);
    EXPECT_EQ(state, 0u);

    EXPECT_EQ(SKF_DisConnectDev(dev), SAR_OK);
    EXPECT_EQ(SKF_DisConnectDev(dev), SAR_INVALIDHANDLEERR);
    EXPECT_EQ(SKF_GetDevInfo(dev, &info), SAR_INVALIDHANDLEERR);
    int forged = 0;
    EXPECT_EQ(SKF_GetDevInfo(&forged, &info), SAR_INVALIDHANDLEERR);
    EXPECT_EQ(SKF_EnumApplication(nullptr, nullptr, &state), SAR_INVALIDHANDLEERR);
}

TEST_F(SkfStandin, ContainersAndCertificatesByteForByte)
{
    const std::vector<uint8_t> sign = certFixture("rsa2048");
    const std::vector<uint8_t> exch = certFixture("sm2");
    keys.addKey("C0001", "111111");
    keys.addContainer("C0001", "first", sign, exch);
    keys.addContainer("C0001", "second", {}, {});

    DEVHANDLE dev = nullptr;
    ASSERT_EQ(SKF_ConnectDev("ZVIT VKey C0001", &dev), SAR_OK);
    char apps[64] = {};
    SKF_ULONG size = sizeof(apps);
    ASSERT_EQ(SKF_EnumApplication(dev, apps, &size), SAR_OK);
    EXPECT_EQ(std::string(apps, size), std::string("ZVITAPP\0", 9));
    HAPPLICATION app = nullptr;
    EXPECT_EQ(SKF_OpenApplication(dev, "OTHER", &app), SAR_APPLICATION_NOT_EXISTS);
    ASSERT_EQ(SKF_OpenApplication(dev, apps, &app), SAR_OK);

    char containers[64] = {};
    size = sizeof(containers);
    ASSERT_EQ(SKF_EnumContainer(app, containers, &size), SAR_OK);
    EXPECT_EQ(namesOf(containers, size), (std::vector<std::string> {"first", "second"}));

    HCONTAINER first = nullptr;
    EXPECT_NE(SKF_OpenContainer(app, "third", &first), SAR_OK);
    ASSERT_EQ(SKF_OpenContainer(app, "first", &first), SAR_OK);
    SKF_ULONG type = 0;
    EXPECT_EQ(SKF_GetContainerType(first, &type), SAR_OK);
    EXPECT_EQ(type, 1u);

    SKF_ULONG length = 0;
    ASSERT_EQ(SKF_ExportCertificate(first, TRUE, nullptr, &length), SAR_OK);
    EXPECT_EQ(length, sign.size());
    std::vector<uint8_t> out(4096, 0);
    SKF_ULONG tooSmall = length - 1;
    EXPECT_EQ(SKF_ExportCertificate(first, TRUE, out.data(), &tooSmall), SAR_BUFFER_TOO_SMALL);
    length = static_cast<SKF_ULONG>(out.size());
    ASSERT_EQ(SKF_ExportCertificate(first, TRUE, out.data(), &length), SAR_OK);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + length), sign);
    length = static_cast<SKF_ULONG>(out.size());
    ASSERT_EQ(SKF_ExportCertificate(first, FALSE, out.data(), &length), SAR_OK);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + length), exch);
    EXPECT_EQ(SKF_CloseContainer(first), SAR_OK);
    EXPECT_EQ(SKF_ExportCertificate(first, TRUE, out.data(), &length), SAR_INVALIDHANDLEERR);

    HCONTAINER second = nullptr;
    ASSERT_EQ(SKF_OpenContainer(app, "second", &second), SAR_OK);
    length = 0;
    EXPECT_EQ(SKF_ExportCertificate(second, TRUE, nullptr, &length), SAR_CERTNOTFOUNTERR);
    EXPECT_EQ(SKF_ExportCertificate(second, FALSE, nullptr, &length), SAR_CERTNOTFOUNTERR);
    EXPECT_EQ(SKF_CloseContainer(second), SAR_OK);
    EXPECT_EQ(SKF_CloseApplication(app), SAR_OK);
    EXPECT_EQ(SKF_DisConnectDev(dev), SAR_OK);
}

TEST_F(SkfStandin, PinAttemptsAreTheStoresOwn)
{
    keys.addKey("P0001", "111111");
    HAPPLICATION app = openApp("P0001");
    ASSERT_NE(app, nullptr);

    SKF_ULONG retry = 77;
    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, "999999", &retry), SAR_PIN_INCORRECT);
    EXPECT_EQ(retry, 9u);
    EXPECT_EQ(keys.attemptsLeft("P0001"), 9);
    // A PIN no key accepts costs nothing.
    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, "12", &retry), SAR_PIN_LEN_RANGE);
    EXPECT_EQ(keys.attemptsLeft("P0001"), 9);
    EXPECT_EQ(SKF_VerifyPIN(app, 7, "111111", &retry), SAR_USER_TYPE_INVALID);
    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, nullptr, &retry), SAR_INVALIDPARAMERR);

    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, "111111", &retry), SAR_OK);
    EXPECT_EQ(keys.attemptsLeft("P0001"), 10);

    // Changed here, valid for the manager's dialogs; changed there, valid here.
    EXPECT_EQ(SKF_ChangePIN(app, SKF_USER_TYPE, "111111", "abcdef12", &retry), SAR_OK);
    EXPECT_EQ(keys.store().verifyPin("P0001", vtoken::PinKind::User, "abcdef12").status, vtoken::Status::Ok);
    EXPECT_EQ(keys.store().changePin("P0001", vtoken::PinKind::User, "abcdef12", "zz998877").status,
              vtoken::Status::Ok);
    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, "zz998877", &retry), SAR_OK);

    retry = 77;
    EXPECT_EQ(SKF_ChangePIN(app, SKF_USER_TYPE, "zz998877", "123", &retry), SAR_PIN_LEN_RANGE);
    EXPECT_EQ(retry, 10u);
    EXPECT_EQ(SKF_ChangePIN(app, SKF_USER_TYPE, "wrong-old", "12345678", &retry), SAR_PIN_INCORRECT);
    EXPECT_EQ(retry, 9u);

    SKF_ULONG maxRetry = 0, remain = 0;
    SKF_BOOL isDefault = 5;
    EXPECT_EQ(SKF_GetPINInfo(app, SKF_USER_TYPE, &maxRetry, &remain, &isDefault), SAR_OK);
    EXPECT_EQ(maxRetry, 10u);
    EXPECT_EQ(remain, 9u);
    EXPECT_EQ(isDefault, FALSE);

    keys.setRetries("P0001", 1);
    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, "000000", &retry), SAR_PIN_LOCKED);
    EXPECT_EQ(retry, 0u);
    retry = 77;
    EXPECT_EQ(SKF_VerifyPIN(app, SKF_USER_TYPE, "zz998877", &retry), SAR_PIN_LOCKED);
    EXPECT_EQ(retry, 0u);
}

// The stand-in keeps what it read while nothing changed; a change made right
// after a call, within the same tick of the file clock, is seen by the next.
TEST_F(SkfStandin, EveryChangeIsSeenByTheNextCall)
{
    keys.addKey("FRESH01", "111111");
    HAPPLICATION app = openApp("FRESH01");
    SKF_ULONG maxRetry = 0, remain = 0;
    SKF_BOOL isDefault = FALSE;
    for (int attempts = 10; attempts >= 1; --attempts) {
        keys.setRetries("FRESH01", attempts);
        ASSERT_EQ(SKF_GetPINInfo(app, SKF_USER_TYPE, &maxRetry, &remain, &isDefault), SAR_OK);
        EXPECT_EQ(remain, static_cast<SKF_ULONG>(attempts));
    }

    auto plugged = [] {
        char names[1024] = {};
        SKF_ULONG size = sizeof(names);
        EXPECT_EQ(SKF_EnumDev(TRUE, names, &size), SAR_OK);
        return namesOf(names, size);
    };
    EXPECT_EQ(plugged().size(), 1u);
    keys.addKey("FRESH02", "111111");
    EXPECT_EQ(plugged().size(), 2u);
    ASSERT_EQ(keys.store().unplug("FRESH01"), vtoken::Status::Ok);
    EXPECT_EQ(plugged(), std::vector<std::string>({vtoken::deviceNameFor("FRESH02")}));

    HAPPLICATION second = openApp("FRESH02");
    keys.addContainer("FRESH02", "late", certFixture("rsa2048"), {});
    char containers[256] = {};
    SKF_ULONG size = sizeof(containers);
    ASSERT_EQ(SKF_EnumContainer(second, containers, &size), SAR_OK);
    EXPECT_EQ(namesOf(containers, size), std::vector<std::string>({"late"}));

    // The store moved in Config.ini: the next enumeration looks there.
    setIniValue(keys.root().configPath(), "VirtualToken", "StorePath", keys.root().path("tmp/elsewhere"));
    EXPECT_TRUE(plugged().empty());
}

}  // namespace
