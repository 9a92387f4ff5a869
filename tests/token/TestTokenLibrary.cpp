// Two virtual keys made with the tool, seen only through the bound pointers
// of the token library, the way the manager and the daemon see them.
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "standins/vtoken/MemCertStore.h"
#include "standins/vtoken/StoreConfig.h"
#include "TokenTestSupport.h"
#include "common/ZTCommonDef.h"
#include "bindings/ZTTokenExp_fundef.h"

namespace {

struct Seen {
    std::string name;
    uint64_t slot = 99;
};

class TokenLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = useRootStore(root);
        tool({"create", "K1", "--label", "Ключ один", "--pin", "12345678"});
        tool({"create", "K2", "--label", "Second", "--pin", "abcdef12", "--pin-changed"});
        tool({"import", "K1", fixture("rsa1024.der"), "--container", "pair", "--type", "rsa", "--usage", "exch"});
        tool({"import", "K1", fixture("rsa2048.pem"), "--container", "pair", "--type", "rsa", "--usage", "sign"});
        tool({"import", "K2", fixture("sm2.pem"), "--container", "gm", "--type", "sm2", "--usage", "sign"});
        tool({"import", "K2", fixture("dn-utf8.pem"), "--container", "other", "--type", "rsa", "--usage", "exch"});
        tool({"plug", "K1"});
        tool({"plug", "K2"});
        ASSERT_TRUE(LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER));
    }
    void TearDown() override
    {
        FreeZTTokenLib();
        vtoken::MemCertStore::unlinkNames(vtoken::memStoreSegmentName(), vtoken::memStoreLockName());
    }

    void tool(const std::vector<std::string>& args)
    {
        std::string output;
        ASSERT_EQ(0, runTool("", args, &output)) << output;
    }

    // What the daemon's enumeration pass reads of every listed key.
    std::vector<Seen> enumerate()
    {
        uint64_t count = 10, all = 10;
        void* handles[10] = {};
        EXPECT_EQ(ZTTOKEN_OK, ZTToken_EnumDeviceWithAllCount(&count, handles, &all));
        EXPECT_EQ(count, all);
        std::vector<Seen> seen;
        for (uint64_t i = 0; i < count; ++i) {
            EXPECT_EQ(ZTTOKEN_OK, ZTToken_OpenDeviceByHandle(handles[i]));
            char name[260] = {};
            uint64_t length = sizeof(name);
            EXPECT_EQ(ZTTOKEN_OK, ZTToken_GetDeviceAttr(handles[i], ZTTOKEN_DEVATTR_NAME, name, &length));
            EXPECT_EQ(strlen(name), length);
            Seen key;
            key.name = name;
            length = 8;
            EXPECT_EQ(ZTTOKEN_OK, ZTToken_GetDeviceAttr(handles[i], ZTTOKEN_DEVATTR_SLOT, &key.slot, &length));
            EXPECT_EQ(8u, length);
            EXPECT_EQ(ZTTOKEN_OK, ZTToken_CloseDevice(handles[i]));
            seen.push_back(key);
        }
        EXPECT_EQ(ZTTOKEN_OK, ZTToken_DestroyEnum());
        return seen;
    }

    std::vector<uint64_t> changes(uint32_t kind, uint64_t capacity = 10)
    {
        std::vector<uint64_t> list(10, ~0ull);
        uint64_t count = capacity;
        EXPECT_EQ(ZTTOKEN_OK, ZTToken_GetDeviceChange(kind, list.data(), &count));
        list.resize(count);
        return list;
    }

    void* open(const std::string& name, uint64_t slot)
    {
        void* device = nullptr;
        EXPECT_EQ(ZTTOKEN_OK, ZTToken_OpenDeviceByNameAndSetSlotID(name.c_str(), &device, slot));
        return device;
    }

    std::vector<uint8_t> memCert(uint64_t slot, uint64_t index)
    {
        std::vector<uint8_t> buffer(4096);
        uint64_t length = buffer.size();
        if (ZTToken_ReadMemCertByIndex(slot, index, buffer.data(), &length) != ZTTOKEN_OK)
            return {};
        buffer.resize(length);
        return buffer;
    }

    std::vector<uint8_t> pinInfo(void* device)
    {
        std::vector<uint8_t> record(6, 0xee);
        uint64_t length = 6;
        EXPECT_EQ(ZTTOKEN_OK, pfn_ZTToken_GetPinInfo(device, ZTTOKEN_PIN_USER, record.data(), &length));
        EXPECT_EQ(6u, length);
        return record;
    }

    TestRoot root;
    std::string folder;
};

TEST_F(TokenLibrary, TheDaemonsPassSeesBothKeysWithNameSlotTokenInfoAndLabel)
{
    std::vector<Seen> seen = enumerate();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("ZVIT VKey K1", seen[0].name);
    EXPECT_EQ(0u, seen[0].slot);
    EXPECT_EQ("ZVIT VKey K2", seen[1].name);
    EXPECT_EQ(1u, seen[1].slot);

    void* k1 = open(seen[0].name, 0);
    void* k2 = open(seen[1].name, 1);
    uint8_t info[208];
    memset(info, 0xee, sizeof(info));
    uint64_t length = sizeof(info);
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetTokenInfo(k1, info, &length));
    ASSERT_EQ(208u, length);
    // The registry takes the serial number at offset 80 and the flags at 96.
    EXPECT_EQ(std::string("K1") + std::string(14, ' '), std::string(reinterpret_cast<char*>(info) + 80, 16));
    EXPECT_EQ(std::string("Ключ один") + std::string(32 - strlen("Ключ один"), ' '),
              std::string(reinterpret_cast<char*>(info), 32));
    uint64_t flags;
    memcpy(&flags, info + 96, 8);
    EXPECT_EQ(0x80000u, flags & 0x80000u);  // the initial PIN must be changed
    length = sizeof(info);
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetTokenInfo(k2, info, &length));
    memcpy(&flags, info + 96, 8);
    EXPECT_EQ(0u, flags & 0x80000u);
    const TokenInfo64* typed = reinterpret_cast<const TokenInfo64*>(info);
    EXPECT_EQ(6u, typed->ulMinPinLen);
    EXPECT_EQ(16u, typed->ulMaxPinLen);

    uint8_t label[256];
    memset(label, 0xee, sizeof(label));
    length = sizeof(label);
    ASSERT_EQ(ZTTOKEN_OK, pfn_ZTToken_GetTokenLabel(k1, reinterpret_cast<uint16_t*>(label), &length));
    const std::u16string expected = u"Ключ один";
    ASSERT_EQ(expected.size() * 2, length);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i] & 0xff, label[2 * i]);
        EXPECT_EQ(expected[i] >> 8, label[2 * i + 1]);
    }
    for (size_t i = length; i < sizeof(label); ++i)
        ASSERT_EQ(0, label[i]) << i;

    EXPECT_EQ((std::vector<uint8_t>{10, 10, 0, 6, 16, 1}), pinInfo(k1));
    EXPECT_EQ((std::vector<uint8_t>{10, 10, 1, 6, 16, 1}), pinInfo(k2));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_CloseDevice(k1));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_CloseDevice(k2));
}

TEST_F(TokenLibrary, OverlappingEnumerationPassesKeepEachOthersHandles)
{
    uint64_t countA = 10, countB = 10, all = 10;
    void* a[10] = {};
    void* b[10] = {};
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_EnumDeviceWithAllCount(&countA, a, &all));
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_EnumDeviceWithAllCount(&countB, b, &all));
    ASSERT_EQ(2u, countB);
    EXPECT_EQ(a[0], b[0]);  // one handle per key, so the registry's handle stays the same
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_DestroyEnum());  // the first pass ends
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_OpenDeviceByHandle(b[1]));
    tool({"unplug", "K2"});
    EXPECT_EQ(ZTTOKEN_ERR_NO_DEVICE, ZTToken_OpenDeviceByHandle(b[1]));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_DestroyEnum());
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_HANDLE, ZTToken_OpenDeviceByHandle(b[1]));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_OpenDeviceByHandle(b[0]));
    // A capacity below the plugged keys lists what fits and counts them all.
    uint64_t one = 1;
    tool({"plug", "K2"});
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_EnumDeviceWithAllCount(&one, a, &all));
    EXPECT_EQ(1u, one);
    EXPECT_EQ(2u, all);
}

TEST_F(TokenLibrary, TheManagersContainerWalkFillsTheMemoryStoreByCertificateIndex)
{
    struct Found {
        std::string container;
        uint8_t type;
        uint64_t index;
        std::vector<uint8_t> der;
    };
    std::vector<Found> found;
    for (const Seen& key : enumerate()) {
        void* device = open(key.name, key.slot);
        uint64_t index = 0;
        void* container = nullptr;
        while (ZTToken_EnumContainer(device, 255, &index, &container) == ZTTOKEN_OK) {
            char name[260] = {};
            uint64_t length = sizeof(name);
            ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_NAME, name, &length));
            uint64_t type = 0, state = 0xFFFFFFFF;
            length = 8;
            ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_TYPE, &type, &length));
            length = 8;
            ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetContainerAttr(container, ZTTOKEN_CONTATTR_STATE, &state, &length));
            EXPECT_EQ(2u, state);
            for (uint32_t attribute : {ZTTOKEN_CONTATTR_EXCH_INDEX, ZTTOKEN_CONTATTR_SIGN_INDEX}) {
                uint64_t certIndex = 0;
                length = 8;
                uint32_t rv = ZTToken_GetContainerAttr(container, attribute, &certIndex, &length);
                if (rv == ZTTOKEN_ERR_NO_CERT)
                    continue;
                ASSERT_EQ(ZTTOKEN_OK, rv);
                std::vector<uint8_t> buffer(4096);
                uint64_t certLength = buffer.size();
                ASSERT_EQ(ZTTOKEN_OK, ZTToken_ReadCert(device, certIndex, buffer.data(), &certLength));
                buffer.resize(certLength);
                found.push_back({name, static_cast<uint8_t>(type), certIndex, buffer});
                EXPECT_EQ(buffer, memCert(key.slot, certIndex));
            }
        }
        EXPECT_EQ(ZTTOKEN_OK, ZTToken_CloseDevice(device));
    }
    ASSERT_EQ(4u, found.size());
    EXPECT_EQ("pair", found[0].container);
    EXPECT_EQ(1u, found[0].index);
    EXPECT_EQ(fileBytes(fixture("rsa1024.der")), found[0].der);
    EXPECT_EQ(2u, found[1].index);
    EXPECT_EQ(fileBytes(fixture("rsa2048.der")), found[1].der);  // imported as PEM, stored as DER
    EXPECT_EQ("gm", found[2].container);
    EXPECT_EQ(2u, found[2].type);
    EXPECT_EQ(2u, found[2].index);  // no exchange certificate at 1
    EXPECT_EQ(fileBytes(fixture("sm2.der")), found[2].der);
    EXPECT_EQ("other", found[3].container);
    EXPECT_EQ(1u, found[3].type);
    EXPECT_EQ(3u, found[3].index);

    // Empty indices read as failures; the manager reads 1..16.
    EXPECT_TRUE(memCert(0, 3).empty());
    EXPECT_TRUE(memCert(1, 1).empty());
    EXPECT_TRUE(memCert(1, 16).empty());
    uint64_t length = 4096;
    uint8_t buffer[4096];
    EXPECT_NE(ZTTOKEN_OK, ZTToken_ReadMemCertByIndex(1, 17, buffer, &length));
    EXPECT_NE(ZTTOKEN_OK, ZTToken_ReadMemCertByIndex(4, 1, buffer, &length));
}

TEST_F(TokenLibrary, TheMemoryStoreIsSharedBetweenProcessesAndClearedPerSlot)
{
    // The manager's process fills the store...
    pid_t manager = forkChild([&] {
        for (const Seen& key : enumerate()) {
            void* device = open(key.name, key.slot);
            std::vector<uint8_t> buffer(4096);
            for (uint64_t index : {1, 2, 3}) {
                uint64_t length = buffer.size();
                ZTToken_ReadCert(device, index, buffer.data(), &length);
            }
            ZTToken_CloseDevice(device);
        }
        return 0;
    });
    ASSERT_EQ(0, waitChild(manager));
    // ...this process sees it...
    EXPECT_EQ(fileBytes(fixture("rsa1024.der")), memCert(0, 1));
    EXPECT_EQ(fileBytes(fixture("sm2.der")), memCert(1, 2));
    // ...and the daemon's process clears the removed key's slot only.
    pid_t daemon = forkChild([&] { return ZTToken_ClearMemInfo(0, ZTTOKEN_MEMINFO_CERTS) == ZTTOKEN_OK ? 0 : 1; });
    ASSERT_EQ(0, waitChild(daemon));
    EXPECT_TRUE(memCert(0, 1).empty());
    EXPECT_TRUE(memCert(0, 2).empty());
    EXPECT_EQ(fileBytes(fixture("sm2.der")), memCert(1, 2));
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG, ZTToken_ClearMemInfo(4, ZTTOKEN_MEMINFO_CERTS));
}

TEST_F(TokenLibrary, ChangesFollowTheToolsPlugAndUnplug)
{
    EXPECT_EQ((std::vector<uint64_t>{0, 1}), changes(ZT_KEY_EVENT_ADDED));
    EXPECT_TRUE(changes(ZT_KEY_EVENT_ADDED).empty());
    EXPECT_TRUE(changes(ZT_KEY_EVENT_REMOVED).empty());

    tool({"unplug", "K1"});
    EXPECT_EQ(1u, enumerate().size());
    EXPECT_EQ((std::vector<uint64_t>{0}), changes(ZT_KEY_EVENT_REMOVED));
    EXPECT_TRUE(changes(ZT_KEY_EVENT_REMOVED).empty());
    EXPECT_TRUE(changes(ZT_KEY_EVENT_ADDED).empty());

    tool({"plug", "K1"});
    EXPECT_EQ((std::vector<uint64_t>{0}), changes(ZT_KEY_EVENT_ADDED));
    EXPECT_TRUE(changes(ZT_KEY_EVENT_REMOVED).empty());

    // Another key in the same slot between two queries: removed and added.
    tool({"create", "K3", "--label", "Third", "--pin", "12345678"});
    tool({"unplug", "K1"});
    tool({"plug", "K3"});
    EXPECT_EQ((std::vector<uint64_t>{0}), changes(ZT_KEY_EVENT_REMOVED));
    EXPECT_EQ((std::vector<uint64_t>{0}), changes(ZT_KEY_EVENT_ADDED));

    // More changes than room: the rest waits for the next query.
    tool({"unplug", "K2"});
    tool({"unplug", "K3"});
    EXPECT_EQ((std::vector<uint64_t>{0}), changes(ZT_KEY_EVENT_REMOVED, 1));
    EXPECT_EQ((std::vector<uint64_t>{1}), changes(ZT_KEY_EVENT_REMOVED, 1));
    EXPECT_TRUE(changes(ZT_KEY_EVENT_REMOVED).empty());
    EXPECT_TRUE(enumerate().empty());

    uint64_t count = 10;
    uint64_t list[10];
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG, ZTToken_GetDeviceChange(1, list, &count));
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG, ZTToken_GetDeviceChange(2, nullptr, &count));
}

TEST_F(TokenLibrary, PinLabelAndCertificateWritesReachTheStore)
{
    void* k2 = open("ZVIT VKey K2", 1);
    uint64_t retries = 0;
    EXPECT_EQ(ZTTOKEN_ERR_PIN_INCORRECT, pfn_ZTToken_VerifyPin(k2, ZTTOKEN_PIN_USER, "wrong-pin", &retries));
    EXPECT_EQ(9u, retries);
    EXPECT_EQ(9, pinInfo(k2)[1]);
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_VerifyPin(k2, ZTTOKEN_PIN_USER, "abcdef12", &retries));
    EXPECT_EQ(10u, retries);

    std::string listing;
    ASSERT_EQ(0, runTool("", {"list", "--json"}, &listing));
    EXPECT_NE(std::string::npos, listing.find("\"attemptsLeft\": 10"));
    tool({"retries", "K2", "0"});
    EXPECT_EQ(0, pinInfo(k2)[1]);
    EXPECT_EQ(ZTTOKEN_ERR_PIN_LOCKED, ZTToken_VerifyPin(k2, ZTTOKEN_PIN_USER, "abcdef12", &retries));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_UnlockPin(k2, "88888888", "newpin99", &retries));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_ChangePin(k2, ZTTOKEN_PIN_USER, "newpin99", "newpin00", &retries));
    EXPECT_EQ(ZTTOKEN_ERR_PIN_LENGTH, ZTToken_ChangePin(k2, ZTTOKEN_PIN_USER, "newpin00", "short", &retries));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_VerifyPin(k2, ZTTOKEN_PIN_USER, "newpin00", &retries));

    const std::u16string label = u"新标签";
    ASSERT_EQ(ZTTOKEN_OK, pfn_ZTToken_SetTokenLabel(k2, reinterpret_cast<const uint16_t*>(label.data()),
                                                    label.size() * 2));
    uint16_t back[32] = {};
    uint64_t length = sizeof(back);
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetTokenLabel(k2, back, &length));
    EXPECT_EQ(label, std::u16string(reinterpret_cast<char16_t*>(back), length / 2));
    const std::u16string tooLong(33, u'x');
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG,
              ZTToken_SetTokenLabel(k2, reinterpret_cast<const uint16_t*>(tooLong.data()), tooLong.size() * 2));
    const char16_t lone[] = {0xd800};
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG, ZTToken_SetTokenLabel(k2, reinterpret_cast<const uint16_t*>(lone), 2));

    void* container = nullptr;
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_OpenContainer(k2, "gm", &container));
    std::vector<uint8_t> der = fileBytes(fixture("ecdsa-p256.der"));
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_WriteCert(container, ZTTOKEN_AT_KEYEXCHANGE, der.data(), der.size()));
    std::vector<uint8_t> junk(der.begin(), der.end() - 1);
    EXPECT_EQ(ZTTOKEN_ERR_BAD_CERT, ZTToken_WriteCert(container, ZTTOKEN_AT_SIGNATURE, junk.data(), junk.size()));
    std::vector<uint8_t> buffer(4096);
    length = buffer.size();
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_ReadCert(k2, 1, buffer.data(), &length));
    buffer.resize(length);
    EXPECT_EQ(der, buffer);
    EXPECT_EQ(der, memCert(1, 1));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_CloseDevice(k2));
}

TEST_F(TokenLibrary, BadHandlesPulledKeysAndSmallBuffersFailCleanly)
{
    // The manager hands a null handle on to GetPinInfo and relies on a failure.
    uint8_t record[6];
    uint64_t length = 6;
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_HANDLE, ZTToken_GetPinInfo(nullptr, 1, record, &length));
    int local = 0;
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_HANDLE, ZTToken_CloseDevice(&local));
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_HANDLE, ZTToken_OpenDeviceByHandle(reinterpret_cast<void*>(0x5a100000)));

    void* device = reinterpret_cast<void*>(1);
    EXPECT_EQ(ZTTOKEN_ERR_NO_DEVICE, ZTToken_OpenDeviceByNameAndSetSlotID("ZVIT VKey NONE", &device, 0));
    EXPECT_EQ(nullptr, device);
    device = reinterpret_cast<void*>(1);
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG, ZTToken_OpenDeviceByNameAndSetSlotID("ZVIT VKey K1", &device, 4));
    EXPECT_EQ(nullptr, device);

    void* k1 = open("ZVIT VKey K1", 0);
    uint8_t info[208];
    length = 207;
    EXPECT_EQ(ZTTOKEN_ERR_BUFFER_TOO_SMALL, ZTToken_GetTokenInfo(k1, info, &length));
    EXPECT_EQ(208u, length);
    length = 5;
    EXPECT_EQ(ZTTOKEN_ERR_BUFFER_TOO_SMALL, ZTToken_GetPinInfo(k1, 1, record, &length));
    char name[12];
    length = sizeof(name);  // "ZVIT VKey K1" needs 13 with its 0
    EXPECT_EQ(ZTTOKEN_ERR_BUFFER_TOO_SMALL, ZTToken_GetDeviceAttr(k1, ZTTOKEN_DEVATTR_NAME, name, &length));
    EXPECT_EQ(13u, length);
    std::vector<uint8_t> small(100);
    length = small.size();
    EXPECT_EQ(ZTTOKEN_ERR_BUFFER_TOO_SMALL, ZTToken_ReadCert(k1, 2, small.data(), &length));
    EXPECT_EQ(fileBytes(fixture("rsa2048.der")).size(), length);
    length = 100;
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_ARG, ZTToken_ReadCert(k1, 17, small.data(), &length));
    EXPECT_EQ(ZTTOKEN_ERR_NO_CERT, ZTToken_ReadCert(k1, 3, small.data(), &length));

    // A key pulled out while open cannot be used any more.
    tool({"unplug", "K1"});
    length = sizeof(info);
    EXPECT_EQ(ZTTOKEN_ERR_NO_DEVICE, ZTToken_GetTokenInfo(k1, info, &length));
    EXPECT_EQ(ZTTOKEN_OK, ZTToken_CloseDevice(k1));
    EXPECT_EQ(ZTTOKEN_ERR_INVALID_HANDLE, ZTToken_CloseDevice(k1));
}

TEST_F(TokenLibrary, ADamagedKeyIsLeftOutAndTheOtherStillListed)
{
    std::string path = folder + "/K1.vkey";
    std::string text = readFile(path);
    text[text.size() / 2] ^= 0x20;
    writeFile(path, text);
    std::vector<Seen> seen = enumerate();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("ZVIT VKey K2", seen[0].name);
    void* device = nullptr;
    EXPECT_EQ(ZTTOKEN_ERR_NO_DEVICE, ZTToken_OpenDeviceByName("ZVIT VKey K1", &device));
}

TEST_F(TokenLibrary, AStoreOthersCanWriteFailsEnumerationInsteadOfLookingEmpty)
{
    ASSERT_EQ(0, chmod(folder.c_str(), 0777));
    uint64_t count = 10, all = 10;
    void* handles[10] = {};
    EXPECT_EQ(ZTTOKEN_ERR_STORE_IO, ZTToken_EnumDeviceWithAllCount(&count, handles, &all));
    void* device = nullptr;
    EXPECT_NE(ZTTOKEN_OK, ZTToken_OpenDeviceByName("ZVIT VKey K1", &device));
    ASSERT_EQ(0, chmod(folder.c_str(), 0700));
    EXPECT_EQ(2u, enumerate().size());
}

TEST_F(TokenLibrary, SupportedReaderTableInTwoCalls)
{
    uint64_t count = 0;
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetCCIDDeviceInfoFromConfigFile(nullptr, &count));
    ASSERT_EQ(1u, count);
    std::vector<uint8_t> records(count * 780, 0xee);
    ASSERT_EQ(ZTTOKEN_OK, ZTToken_GetCCIDDeviceInfoFromConfigFile(records.data(), &count));
    EXPECT_EQ(1u, count);
    ZTCCIDDeviceInfo info;
    memcpy(&info, records.data(), sizeof(info));
    EXPECT_EQ(0x2EC9u, info.vendorId);
    EXPECT_EQ(0x1001u, info.productId);
    count = 0;
    EXPECT_EQ(ZTTOKEN_ERR_BUFFER_TOO_SMALL, ZTToken_GetCCIDDeviceInfoFromConfigFile(records.data(), &count));
}

}  // namespace
