// The tool's command line as users, the demo and the tests use it.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

#include "ChildProcess.h"
#include "OtherUser.h"
#include "TokenTestSupport.h"

namespace {

class Tool : public ::testing::Test
{
protected:
    void SetUp() override { folder = root.tempDir() + "/store"; }

    int run(const std::vector<std::string>& args, std::string* output = nullptr)
    {
        return runTool(folder, args, output ? output : &last);
    }
    void ok(const std::vector<std::string>& args) { ASSERT_EQ(0, run(args, &last)) << last; }

    QJsonArray listJson()
    {
        std::string output;
        EXPECT_EQ(0, run({"list", "--json"}, &output));
        QJsonParseError error;
        QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(output), &error);
        EXPECT_EQ(QJsonParseError::NoError, error.error) << output;
        return doc.array();
    }

    TestRoot root;
    std::string folder;
    std::string last;
};

TEST_F(Tool, ListShowsKeysPinStateAndCertificateSubjects)
{
    ok({"create", "K1", "--label", "张三的钥匙", "--pin", "12345678"});
    ok({"create", "K2", "--label", "Second \"key\"", "--pin", "abcdefgh", "--pin-changed", "--uninitialised"});
    ok({"import", "K1", fixture("dn-utf8.pem"), "--container", "c1", "--type", "rsa", "--usage", "sign"});
    ok({"import", "K1", fixture("dn-multi-rdn.der"), "--container", "c1", "--type", "rsa", "--usage", "exch"});
    ok({"import", "K1", fixture("sm2.der"), "--container", "gm", "--type", "sm2", "--usage", "sign"});
    ok({"plug", "K2"});
    ok({"retries", "K1", "3"});

    QJsonArray keys = listJson();
    ASSERT_EQ(2, keys.size());
    QJsonObject k1 = keys[0].toObject(), k2 = keys[1].toObject();
    EXPECT_EQ("K1", k1["serial"].toString());
    EXPECT_EQ(QString::fromUtf8("张三的钥匙"), k1["label"].toString());
    EXPECT_FALSE(k1["plugged"].toBool());
    EXPECT_EQ(3, k1["attemptsLeft"].toInt());
    EXPECT_FALSE(k1["pinChanged"].toBool());
    EXPECT_TRUE(k1["initialised"].toBool());
    QJsonArray containers = k1["containers"].toArray();
    ASSERT_EQ(2, containers.size());
    QJsonObject c1 = containers[0].toObject();
    EXPECT_EQ("rsa", c1["type"].toString());
    EXPECT_EQ(QString::fromUtf8("C=CN, ST=北京, O=中国测试银行, CN=张三"), c1["signature"].toObject()["subject"].toString());
    EXPECT_TRUE(c1["exchange"].toObject()["subject"].toString().contains("OU=Retail + CN=Multi Holder"))
        << c1["exchange"].toObject()["subject"].toString().toStdString();
    EXPECT_EQ("sm2", containers[1].toObject()["type"].toString());
    EXPECT_TRUE(containers[1].toObject()["exchange"].isNull());
    EXPECT_EQ(QString("Second \"key\""), k2["label"].toString());
    EXPECT_TRUE(k2["plugged"].toBool());
    EXPECT_EQ(0, k2["slot"].toInt());
    EXPECT_TRUE(k2["pinChanged"].toBool());
    EXPECT_FALSE(k2["initialised"].toBool());

    std::string text;
    ASSERT_EQ(0, run({"list"}, &text));
    EXPECT_NE(std::string::npos, text.find("K2  label \"Second \"key\"\"  plugged in slot 0"));
    EXPECT_NE(std::string::npos, text.find("CN=张三"));
}

TEST_F(Tool, BadInputIsRefusedWithAMessageAndNothingChanges)
{
    ok({"create", "K1", "--label", "one", "--pin", "12345678"});
    const std::string before = readFile(folder + "/K1.vkey");
    writeFile(root.tempDir() + "/junk.pem", "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n");
    std::string der = readFile(fixture("rsa1024.der"));
    writeFile(root.tempDir() + "/cut.der", der.substr(0, der.size() - 1));
    writeFile(root.tempDir() + "/two.pem", readFile(fixture("rsa1024.pem")) + readFile(fixture("rsa2048.pem")));

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"plug", "NOPE"}, 1, "no key with serial number NOPE"},
        {{"retries", "NOPE", "3"}, 1, "no key with serial number NOPE"},
        {{"delete", "NOPE"}, 1, "no key with serial number NOPE"},
        {{"import", "NOPE", fixture("rsa1024.der"), "--container", "c", "--type", "rsa", "--usage", "sign"}, 1,
         "no key with serial number NOPE"},
        {{"import", "K1", root.tempDir() + "/missing.der", "--container", "c", "--type", "rsa", "--usage", "sign"}, 1,
         "cannot read certificate file"},
        {{"import", "K1", root.tempDir() + "/junk.pem", "--container", "c", "--type", "rsa", "--usage", "sign"}, 1,
         "not one PEM or DER certificate"},
        {{"import", "K1", root.tempDir() + "/cut.der", "--container", "c", "--type", "rsa", "--usage", "sign"}, 1,
         "not one PEM or DER certificate"},
        {{"import", "K1", root.tempDir() + "/two.pem", "--container", "c", "--type", "rsa", "--usage", "sign"}, 1,
         "not one PEM or DER certificate"},
        {{"import", "K1", fixture("rsa1024.der"), "--container", "c", "--type", "dsa", "--usage", "sign"}, 2,
         "--type is rsa or sm2"},
        {{"import", "K1", fixture("rsa1024.der"), "--container", "c", "--type", "rsa"}, 2, "are required"},
        {{"create", "K2", "--label", "two", "--pin", "12345"}, 1, "bad PIN"},
        {{"create", "K2", "--label", "two", "--pin", "12345678901234567"}, 1, "bad PIN"},
        {{"create", "K1", "--label", "again", "--pin", "12345678"}, 1, "exists already"},
        {{"create", "bad/serial", "--label", "x", "--pin", "12345678"}, 1, "bad serial number"},
        {{"create", "K2", "--label", std::string(33, 'x'), "--pin", "12345678"}, 1, "bad label"},
        {{"create", "K2", "--pin", "12345678"}, 2, "--label and --pin are required"},
        {{"create", "K2", "--label", "x", "--label", "y", "--pin", "12345678"}, 2, "given twice"},
        {{"create", "K2", "--label", "x", "--pin", "12345678", "--colour", "red"}, 2, "unknown option --colour"},
        {{"retries", "K1", "256"}, 2, "N is a number from 0 to 255"},
        {{"retries", "K1", "-1"}, 2, "N is a number from 0 to 255"},
        {{"plug"}, 2, "missing argument"},
        {{"plug", "K1", "K2"}, 2, "too many arguments"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(c.code, run(c.args, &output)) << c.args[0] << " " << output;
        EXPECT_NE(std::string::npos, output.find(c.message)) << output;
    }
    EXPECT_EQ(before, readFile(folder + "/K1.vkey"));
    EXPECT_EQ(1, listJson().size());
}

TEST_F(Tool, ANinthContainerIsRefusedAndATypeClashToo)
{
    ok({"create", "K1", "--label", "full", "--pin", "12345678"});
    for (int i = 0; i < 8; ++i)
        ok({"import", "K1", fixture("rsa1024.der"), "--container", "c" + std::to_string(i), "--type", "rsa", "--usage",
            "sign"});
    std::string output;
    EXPECT_EQ(1, run({"import", "K1", fixture("rsa1024.der"), "--container", "c8", "--type", "rsa", "--usage", "sign"},
                     &output));
    EXPECT_NE(std::string::npos, output.find("at most 8 containers")) << output;
    // An existing container still takes its other certificate.
    ok({"import", "K1", fixture("rsa2048.der"), "--container", "c7", "--type", "rsa", "--usage", "exch"});
    EXPECT_EQ(1, run({"import", "K1", fixture("sm2.der"), "--container", "c7", "--type", "sm2", "--usage", "exch"},
                     &output));
    EXPECT_NE(std::string::npos, output.find("container c7 holds rsa keys, not sm2")) << output;
    EXPECT_EQ(8, listJson()[0].toObject()["containers"].toArray().size());
}

TEST_F(Tool, PlugUnplugDeleteAndAFifthKey)
{
    for (const char* serial : {"A", "B", "C", "D", "E"})
        ok({"create", serial, "--label", serial, "--pin", "12345678"});
    for (const char* serial : {"A", "B", "C", "D"})
        ok({"plug", serial});
    EXPECT_NE(std::string::npos, last.find("plugged in slot 3"));
    std::string output;
    EXPECT_EQ(1, run({"plug", "E"}, &output));
    EXPECT_NE(std::string::npos, output.find("all four slots are in use")) << output;
    ok({"unplug", "B"});
    ok({"plug", "E"});
    EXPECT_NE(std::string::npos, last.find("plugged in slot 1"));
    ok({"delete", "A"});
    QJsonArray keys = listJson();
    ASSERT_EQ(4, keys.size());
    EXPECT_EQ("B", keys[0].toObject()["serial"].toString());
    EXPECT_FALSE(keys[0].toObject()["plugged"].toBool());
}

TEST_F(Tool, ADamagedKeyIsShownAsSuchAndCanBeDeleted)
{
    ok({"create", "GOOD", "--label", "good", "--pin", "12345678"});
    ok({"create", "BAD", "--label", "bad", "--pin", "12345678"});
    writeFile(folder + "/BAD.vkey", "ZVIT-VKEY 1\nserial BAD\n");
    QJsonArray keys = listJson();
    ASSERT_EQ(2, keys.size());
    EXPECT_EQ("BAD", keys[0].toObject()["serial"].toString());
    EXPECT_TRUE(keys[0].toObject()["error"].toString().contains("damaged"));
    EXPECT_EQ("good", keys[1].toObject()["label"].toString());
    std::string output;
    EXPECT_EQ(1, run({"plug", "BAD"}, &output));
    EXPECT_NE(std::string::npos, output.find("key BAD: the key's record is damaged")) << output;
    ok({"delete", "BAD"});
    EXPECT_EQ(1, listJson().size());
}

TEST_F(Tool, WithoutStoreItUsesTheConfiguredOneOrTheDocumentedDefault)
{
    std::string configured = useRootStore(root);
    std::string output;
    ASSERT_EQ(0, runTool("", {"create", "CFG", "--label", "c", "--pin", "12345678"}, &output)) << output;
    EXPECT_FALSE(readFile(configured + "/CFG.vkey").empty());

    setIniValue(root.configPath(), "VirtualToken", "StorePath", "");
    const std::string home = root.tempDir() + "/home";
    ASSERT_EQ(0, runProgram(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", {"create", "H", "--label", "h", "--pin", "12345678"},
                            &output, {"HOME=" + home, "XDG_DATA_HOME="}))
        << output;
    EXPECT_FALSE(readFile(home + "/.local/share/zvit-vtoken/H.vkey").empty());
    ASSERT_EQ(0, runProgram(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", {"create", "X", "--label", "x", "--pin", "12345678"},
                            &output, {"HOME=" + home, "XDG_DATA_HOME=" + root.tempDir() + "/xdg"}))
        << output;
    EXPECT_FALSE(readFile(root.tempDir() + "/xdg/zvit-vtoken/X.vkey").empty());
}

TEST_F(Tool, WithoutAHomeOrWithAStoreOthersControlItStopsAndSaysWhy)
{
    setIniValue(root.configPath(), "VirtualToken", "StorePath", "");
    std::string output;
    EXPECT_EQ(1, runProgram(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", {"list"}, &output, {"HOME", "XDG_DATA_HOME"}));
    EXPECT_NE(std::string::npos, output.find("tarnvkey: no key store folder: set XDG_DATA_HOME or HOME")) << output;
    // A command that needs no store still works.
    EXPECT_EQ(0, runProgram(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", {"cert", fixture("dn-cn-middle.pem")}, &output,
                            {"HOME", "XDG_DATA_HOME"}))
        << output;

    ok({"create", "K1", "--label", "k", "--pin", "12345678"});
    ASSERT_EQ(0, chmod(folder.c_str(), 0777));
    EXPECT_EQ(1, run({"plug", "K1"}, &output));
    EXPECT_NE(std::string::npos, output.find("the key store folder " + folder + " can be written by group or others: "
                                             "chmod go-w " + folder))
        << output;
    ASSERT_EQ(0, chmod(folder.c_str(), 0700));
    ok({"plug", "K1"});
}

TEST_F(Tool, AStoreOfAnotherUserIsRefusedForThatUser)
{
    const std::string why = otherUserUnavailable();
    if (!why.empty())
        GTEST_SKIP() << why;
    ok({"create", "K1", "--label", "k", "--pin", "12345678"});
    letOtherUserReach(folder);
    ASSERT_EQ(0, chmod(folder.c_str(), 0755));  // readable, but root's
    std::string output;
    EXPECT_EQ(1, runProgramAsOtherUser(ZVIT_TEST_BINARY_DIR "/bin/tarnvkey", {"--store", folder, "list"}, &output));
    EXPECT_NE(std::string::npos, output.find("the key store folder " + folder + " belongs to another user (uid 0")) << output;
}

TEST_F(Tool, HelpNamesEveryCommandForANewUser)
{
    std::string output;
    ASSERT_EQ(0, runTool("", {"--help"}, &output));
    for (const char* command : {"create", "import", "plug", "unplug", "list", "retries", "delete"})
        EXPECT_NE(std::string::npos, output.find(std::string("tarnvkey [--store DIR] ") + command)) << command;
    EXPECT_NE(std::string::npos, output.find("StorePath"));
    ASSERT_EQ(0, runTool("", {"import", "--help"}, &output));
    EXPECT_NE(std::string::npos, output.find("--type rsa|sm2 --usage sign|exch"));
    EXPECT_EQ(2, runTool("", {}, &output));
}

}  // namespace
