// The page protocol end to end: a real client, the real server, the real SKF
// stand-in over virtual keys; replies compared byte for byte.
#include "BridgeServerFixture.h"
#include "bindings/ZTTokenExp_fundef.h"

namespace {

const char kEnumFailed[] = "枚举设备失败";
const char kOpenAppFailed[] = "打开应用失败";
const char kKeepOne[] = "请只保留一个设备再重试一次";
const char kBadFormat[] = "参数格式不正确";
const char kNoContainer[] = "没有可用容器";
const char kNoCert[] = "没有可用证书";
const char kRsa2048Dn[] =
    "C=CN, ST=Beijing, L=Haidian, O=Zvit Test Bank, OU=Retail, CN=RSA 2048 Holder, emailAddress=holder@example.com";

class BridgeProtocolTest : public BridgeServerTest
{
};

TEST_F(BridgeProtocolTest, PageSessionWithOneKey)
{
    keys.addKey("SN20250001", "111111");
    keys.addContainer("SN20250001", "c1", certFixture("rsa2048"), {});
    startServer();
    PageClient& page = connectPage();

    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(page.request("GetSN"), "GetSN&&SN20250001");
    // Prefix test: what follows the name is ignored.
    EXPECT_EQ(page.request("GetSN#&x&#end"), "GetSN&&SN20250001");
    EXPECT_EQ(page.request("GetSNX"), "GetSN&&SN20250001");

    EXPECT_EQ(page.request("GetCertDN#&&#end"), utf8("GetCertDN&&") + utf8(kRsa2048Dn));
    EXPECT_EQ(page.request("GetCertSN#&1&#end"), "GetCertSN&&1002");
    // 2024-12-31 20:00:00 UTC is 2025-01-01 04:00:00 in UTC+8.
    EXPECT_EQ(page.request("GetCertNA#&&#end"), "GetCertNA&&2025-1-1 4:0:0\n");
    EXPECT_EQ(page.request("GetCertType#&&#end"), "GetCertType&&1");

    EXPECT_EQ(page.request("GetCertDN"), utf8("GetCertDN&&") + utf8(kBadFormat));
    EXPECT_EQ(page.request("GetCertSN#&a#&b&#end"), utf8("GetCertSN&&") + utf8(kBadFormat));
    EXPECT_EQ(page.request("GetCertType"), utf8("GetCertType&&") + utf8(kBadFormat));

    EXPECT_EQ(page.request("GetCntlVersion"), "GetCntlVersion&&1.0");
    EXPECT_EQ(page.request("Hello"), "");
    EXPECT_EQ(page.request(""), "");
    EXPECT_EQ(page.request("getsn"), "") << "commands are case-sensitive";

    EXPECT_EQ(page.request("Finalize"), "Finalize&&0");
    EXPECT_TRUE(page.waitClosed());
    EXPECT_TRUE(waitUntil([&] { return server->clientCount() == 0; }, 3000));
}

TEST_F(BridgeProtocolTest, ProductVersionFromTheConfiguration)
{
    setIniValue(keys.root().configPath(), "ZTTokenInfo", "ProductVersion", "3.2.1");
    startServer();
    EXPECT_EQ(connectPage().request("GetCntlVersion#&x"), "GetCntlVersion&&3.2.1");
}

TEST_F(BridgeProtocolTest, VersionDefaultsWhenTheKeyIsMissing)
{
    const std::string config = readFile(keys.root().configPath());
    std::string without;
    size_t start = 0;
    while (start < config.size()) {
        size_t end = config.find('\n', start);
        if (end == std::string::npos)
            end = config.size();
        const std::string line = config.substr(start, end - start);
        if (line.rfind("ProductVersion=", 0) != 0)
            without += line + "\n";
        start = end + 1;
    }
    writeFile(keys.root().configPath(), without);
    startServer();
    EXPECT_EQ(connectPage().request("GetCntlVersion"), "GetCntlVersion&&1.0");
}

TEST_F(BridgeProtocolTest, PinCommandsCountAttemptsOnTheKey)
{
    keys.addKey("PIN0001", "111111");
    startServer();
    PageClient& page = readyPage();

    EXPECT_EQ(page.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&0");
    EXPECT_EQ(page.request("VerifyUserPin#&#&999999&#end"), "VerifyUserPin&&9");
    EXPECT_EQ(page.request("VerifyUserPin#&#&999999&#end"), "VerifyUserPin&&8");
    EXPECT_EQ(keys.attemptsLeft("PIN0001"), 8);
    // Without the empty field the PIN is not where the command expects it.
    EXPECT_EQ(page.request("VerifyUserPin#&111111&#end"), utf8("VerifyUserPin&&") + utf8(kBadFormat));
    EXPECT_EQ(keys.attemptsLeft("PIN0001"), 8);
    EXPECT_EQ(page.request("VerifyUserPin#&ignored#&111111&#end"), "VerifyUserPin&&0");
    EXPECT_EQ(keys.attemptsLeft("PIN0001"), 10);

    EXPECT_EQ(page.request("ChangeUserPin#&#&111111#&abc12345&#end"), "ChangeUserPin&&0");
    // The manager's dialogs check PINs against the same store.
    EXPECT_EQ(keys.store().verifyPin("PIN0001", vtoken::PinKind::User, "abc12345").status, vtoken::Status::Ok);
    EXPECT_EQ(page.request("ChangeUserPin#&#&111111#&zzz99999&#end"), "ChangeUserPin&&9");
    EXPECT_EQ(page.request("ChangeUserPin#&#&abc12345&#end"), utf8("ChangeUserPin&&") + utf8(kBadFormat));
    ASSERT_EQ(keys.store().changePin("PIN0001", vtoken::PinKind::User, "abc12345", "fromdialog1").status,
              vtoken::Status::Ok);
    EXPECT_EQ(page.request("VerifyUserPin#&#&fromdialog1&#end"), "VerifyUserPin&&0");

    keys.setRetries("PIN0001", 5);
    EXPECT_EQ(page.request("VerifyUserPin#&#&000000&#end"), "VerifyUserPin&&4");
    keys.setRetries("PIN0001", 2);
    EXPECT_EQ(page.request("VerifyUserPin#&#&000000&#end"), "VerifyUserPin&&1");
    prompts.confirmAtOnce = true;  // the user lets the last attempt go to the key
    EXPECT_EQ(page.request("VerifyUserPin#&#&000000&#end"), "VerifyUserPin&&-1");
    EXPECT_EQ(page.request("VerifyUserPin#&#&fromdialog1&#end"), "VerifyUserPin&&-1") << "locked stays locked";
    EXPECT_EQ(page.request("ChangeUserPin#&#&fromdialog1#&abcdefgh&#end"), "ChangeUserPin&&-1");
}

// The manager's road to the PIN is the token library: a PIN changed by a page
// must open the key there, and the other way round.
TEST_F(BridgeProtocolTest, PinChangesMeetTheTokenLibrary)
{
    keys.addKey("ROAD001", "111111");
    ASSERT_TRUE(LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER));
    startServer();
    PageClient& page = readyPage();
    void* device = nullptr;
    ASSERT_EQ(ZTToken_OpenDeviceByName(vtoken::deviceNameFor("ROAD001").c_str(), &device), ZTTOKEN_OK);
    uint64_t retries = 0;

    EXPECT_EQ(page.request("ChangeUserPin#&#&111111#&bridge22&#end"), "ChangeUserPin&&0");
    EXPECT_EQ(ZTToken_VerifyPin(device, ZTTOKEN_PIN_USER, "bridge22", &retries), ZTTOKEN_OK);
    EXPECT_EQ(ZTToken_ChangePin(device, ZTTOKEN_PIN_USER, "bridge22", "manager33", &retries), ZTTOKEN_OK);
    EXPECT_EQ(page.request("VerifyUserPin#&#&bridge22&#end"), "VerifyUserPin&&9");
    EXPECT_EQ(page.request("VerifyUserPin#&#&manager33&#end"), "VerifyUserPin&&0");
    // One attempt counter: failures on either side count against the same key.
    EXPECT_EQ(ZTToken_VerifyPin(device, ZTTOKEN_PIN_USER, "000000", &retries), ZTTOKEN_ERR_PIN_INCORRECT);
    EXPECT_EQ(page.request("VerifyUserPin#&#&000000&#end"), "VerifyUserPin&&8");

    ZTToken_CloseDevice(device);
    FreeZTTokenLib();
}

// A PIN that does not fit the key's 16 bytes is refused before the key sees
// it: cut, a wrong PIN with the right start would open the key, and a new PIN
// would differ from the one its user typed.
TEST_F(BridgeProtocolTest, PinsAndTheSixteenByteLimit)
{
    keys.addKey("PIN0002", "1234567890abcdef");
    startServer();
    PageClient& page = readyPage();
    keys.setRetries("PIN0002", 7);
    EXPECT_EQ(page.request("VerifyUserPin#&#&1234567890abcdefX&#end"), utf8("VerifyUserPin&&") + utf8(kBadFormat));
    EXPECT_EQ(page.request("ChangeUserPin#&#&1234567890abcdefX#&22222222&#end"),
              utf8("ChangeUserPin&&") + utf8(kBadFormat)) << "the old PIN too";
    EXPECT_EQ(page.request("VerifyUserPin#&#&1234567890abcdef&#end"), "VerifyUserPin&&0");

    keys.setRetries("PIN0002", 7);
    EXPECT_EQ(page.request("ChangeUserPin#&#&1234567890abcdef#&fedcba0987654321tail&#end"),
              utf8("ChangeUserPin&&") + utf8(kBadFormat));
    EXPECT_EQ(page.request(utf8("ChangeUserPin#&#&1234567890abcdef#&中中中中中中&#end")),
              utf8("ChangeUserPin&&") + utf8(kBadFormat)) << "18 bytes of UTF-8";
    EXPECT_EQ(keys.attemptsLeft("PIN0002"), 7) << "the key was not asked";
    EXPECT_EQ(keys.store().verifyPin("PIN0002", vtoken::PinKind::User, "fedcba0987654321").status,
              vtoken::Status::PinIncorrect);

    EXPECT_EQ(page.request(utf8("ChangeUserPin#&#&1234567890abcdef#&中中中中中&#end")), "ChangeUserPin&&0");
    EXPECT_EQ(page.request(utf8("VerifyUserPin#&#&中中中中中&#end")), "VerifyUserPin&&0");
}

TEST_F(BridgeProtocolTest, PinsNeverReachTheLog)
{
    keys.addKey("PIN0003", "secret1111");
    startServer();
    PageClient& page = readyPage();
    EXPECT_EQ(page.request("VerifyUserPin#&#&secret1111&#end"), "VerifyUserPin&&0");
    EXPECT_EQ(page.request("VerifyUserPin#&#&wrongpin22&#end"), "VerifyUserPin&&9");
    EXPECT_EQ(page.request("ChangeUserPin#&#&secret1111#&newsecret33&#end"), "ChangeUserPin&&0");
    EXPECT_EQ(page.request("ChangeUserPin#&#&badold4444#&other55555&#end"), "ChangeUserPin&&9");
    const std::string log = keys.bridgeLog();
    EXPECT_NE(log.find("SKF_VerifyPIN failed: 0x0A000024, retry count: 9"), std::string::npos) << log;
    EXPECT_NE(log.find("changePIN"), std::string::npos);
    for (const char* pin : {"secret1111", "wrongpin22", "newsecret33", "badold4444", "other55555"})
        EXPECT_EQ(log.find(pin), std::string::npos) << pin;
}

TEST_F(BridgeProtocolTest, CommandsBeforeInitializeAndAfterFinalizeFailCleanly)
{
    keys.addKey("ORDER01", "111111");
    startServer();
    PageClient& page = connectPage();
    EXPECT_EQ(page.request("CheckToken"), utf8("CheckToken&&") + utf8(kEnumFailed));
    EXPECT_EQ(page.request("GetSN"), utf8("GetSN&&") + utf8(kKeepOne));
    EXPECT_EQ(page.request("GetCertDN#&&#end"), utf8("GetCertDN&&") + utf8(kEnumFailed));
    EXPECT_EQ(page.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&-1");
    EXPECT_EQ(page.request("ChangeUserPin#&#&111111#&22222222&#end"), "ChangeUserPin&&-1");
    EXPECT_EQ(keys.attemptsLeft("ORDER01"), 10);
    EXPECT_EQ(page.request("Finalize"), "Finalize&&0");

    // A page that set everything up, then another page's Finalize: it
    // ends only that page's session.
    PageClient& first = readyPage();
    EXPECT_EQ(first.request("GetSN"), "GetSN&&ORDER01");
    PageClient& second = readyPage();
    EXPECT_EQ(second.request("Finalize"), "Finalize&&0");
    EXPECT_TRUE(second.waitClosed());
    EXPECT_EQ(first.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&0");
    EXPECT_EQ(first.request("GetSN"), "GetSN&&ORDER01");
    EXPECT_EQ(first.request("GetCertSN#&&#end"), utf8("GetCertSN&&") + utf8(kNoContainer));
    // After its own Finalize the library is gone for a new page too until it initialises.
    EXPECT_EQ(first.request("Finalize"), "Finalize&&0");
    PageClient& third = connectPage();
    EXPECT_EQ(third.request("CheckToken"), utf8("CheckToken&&") + utf8(kEnumFailed));
    EXPECT_EQ(third.request("Initialize"), "Initialize&&");
    EXPECT_EQ(third.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&-1") << "no application opened yet";
    EXPECT_EQ(third.request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(third.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&0");
}

TEST_F(BridgeProtocolTest, KeyCountAndTheSingleKeyRule)
{
    startServer();
    PageClient& page = connectPage();
    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
    // No key: enumeration works, the connect to the empty name does not.
    EXPECT_EQ(page.request("CheckToken"), utf8("CheckToken&&") + utf8(kOpenAppFailed));

    keys.addKey("TWO0001", "111111");
    keys.addKey("TWO0002", "111111");
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&2");
    EXPECT_EQ(page.request("GetSN"), utf8("GetSN&&") + utf8(kKeepOne));

    ASSERT_EQ(keys.store().unplug("TWO0002"), vtoken::Status::Ok);
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(page.request("GetSN"), "GetSN&&TWO0001");
    // Once a single key was seen, a second one does not clear the flag.
    ASSERT_EQ(keys.store().plug("TWO0002"), vtoken::Status::Ok);
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&2");
    EXPECT_EQ(page.request("GetSN"), "GetSN&&TWO0001");

    // The key pulled after CheckToken: GetSN reports the connect failure.
    ASSERT_EQ(keys.store().unplug("TWO0001"), vtoken::Status::Ok);
    ASSERT_EQ(keys.store().unplug("TWO0002"), vtoken::Status::Ok);
    EXPECT_EQ(page.request("GetSN"), utf8("GetSN&&") + utf8("连接设备失败"));
    EXPECT_EQ(page.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&-1");
    EXPECT_EQ(page.request("CheckToken"), utf8("CheckToken&&") + utf8(kOpenAppFailed));
    EXPECT_EQ(page.request("GetSN"), utf8("GetSN&&") + utf8(kKeepOne));
}

TEST_F(BridgeProtocolTest, CertificateSearchDecidedByTheLastContainer)
{
    keys.addKey("CERT001", "111111");
    startServer();
    PageClient& page = connectPage();
    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
    EXPECT_EQ(page.request("GetCertDN#&&#end"), utf8("GetCertDN&&") + utf8(kNoContainer));

    // Only an encryption certificate: the signature export fails, this one is decoded.
    keys.addContainer("CERT001", "exch-only", {}, certFixture("sm2"));
    EXPECT_EQ(page.request("GetCertDN#&&#end"), utf8("GetCertDN&&C=CN, O=Zvit Test Bank, OU=Retail, CN=SM2 Holder"));
    EXPECT_EQ(page.request("GetCertSN#&&#end"), "GetCertSN&&3001");

    // The last container walked decides, the texts stay those of the last export.
    keys.addContainer("CERT001", "empty", {}, {});
    EXPECT_EQ(page.request("GetCertDN#&&#end"), utf8("GetCertDN&&") + utf8(kNoCert));

    keys.addContainer("CERT001", "utf8", certFixture("dn-utf8"), certFixture("rsa2048"));
    EXPECT_EQ(page.request("GetCertDN#&&#end"), utf8("GetCertDN&&C=CN, ST=北京, O=中国测试银行, CN=张三"));
    EXPECT_EQ(page.request("GetCertSN#&&#end"), "GetCertSN&&5004");
}

TEST_F(BridgeProtocolTest, SerialAndTimeTextsOfUnusualCertificates)
{
    keys.addKey("CERT002", "111111");
    keys.addContainer("CERT002", "c", certFixture("serial-00abcd"), {});
    startServer();
    PageClient& page = connectPage();
    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
    EXPECT_EQ(page.request("GetCertSN#&&#end"), "GetCertSN&&ABCD");

    ASSERT_EQ(keys.store().update("CERT002", [](vtoken::KeyRecord& r) {
        r.containers[0].signatureCert = certFixture("utc-1950-2049");
        return vtoken::Status::Ok;
    }), vtoken::Status::Ok);
    EXPECT_EQ(page.request("GetCertNA#&&#end"), "GetCertNA&&1950-1-1 8:0:0\n");

    // Bytes that are no certificate: no empty name or zero date for the page.
    ASSERT_EQ(keys.store().update("CERT002", [](vtoken::KeyRecord& r) {
        r.containers[0].signatureCert = {0x30, 0x03, 0x02, 0x01, 0x01};
        return vtoken::Status::Ok;
    }), vtoken::Status::Ok);
    for (const char* command : {"GetCertDN", "GetCertSN", "GetCertNA"})
        EXPECT_EQ(page.request(QString::fromUtf8(command) + "#&&#end"),
                  QString::fromUtf8(command) + "&&" + utf8("没有可用证书"));
}

}  // namespace
