// Which pages the bridge serves: the user's answer for unknown origins, the
// answers remembered in the user's own settings file, and what a page may do
// while the question is open.
#include <QElapsedTimer>
#include <filesystem>
#include <sys/stat.h>

#include "BridgeServerFixture.h"
#include "common/UserSettings.h"

namespace {

class BridgeConsent : public BridgeServerTest
{
protected:
    // A page of origin that has sent its requests and waits (or was closed
    // at once, before the handshake was even seen through).
    PageClient& waitingPage(const QString& origin, const QStringList& requests)
    {
        pages.push_back(std::make_unique<PageClient>(origin));
        PageClient& page = *pages.back();
        page.open(server->serverPort());
        for (const QString& request : requests)
            page.send(request);
        return page;
    }
    void writeUserFile(const std::string& text)
    {
        const std::string folder = keys.root().userConfigHome() + "/" ZT_USER_SETTINGS_FOLDER;
        std::filesystem::create_directories(folder);
        chmod(folder.c_str(), 0700);
        writeFile(folder + "/Config.ini", text);
        chmod((folder + "/Config.ini").c_str(), 0600);
    }
    // The page was refused: closed with 1008 and never answered.
    void expectRefused(PageClient& page)
    {
        EXPECT_TRUE(page.waitClosed());
        EXPECT_EQ(page.closeCode(), 1008);
        EXPECT_TRUE(page.takeReplies(1, 100).isEmpty());
    }
};

TEST_F(BridgeConsent, RequestsWaitForTheAnswerAndAreServedInOrderAfterAllow)
{
    keys.addKey("ASK0001", "111111");
    startServer();
    PageClient& page = waitingPage(QStringLiteral("https://Shop.Example:443/"),
                                   {"Initialize", "CheckToken", "GetSN", "GetCertType#&&#end"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    EXPECT_EQ(prompts.questions[0].origin, "https://shop.example") << "shown normalised";
    EXPECT_TRUE(prompts.questions[0].canRemember);
    EXPECT_TRUE(page.takeReplies(1, 300).isEmpty()) << "nothing before the user allows";

    prompts.allow(0, true);
    EXPECT_EQ(page.takeReplies(4), QStringList({"Initialize&&", "CheckToken&&1", "GetSN&&ASK0001", "GetCertType&&1"}));
    EXPECT_EQ(page.request("GetSN"), "GetSN&&ASK0001");

    // Not remembered: the next page of the site is asked again.
    PageClient& again = waitingPage(QStringLiteral("https://shop.example"), {"GetCertType#&&#end"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 2; }, 3000));
    prompts.allow(1, true);
    EXPECT_EQ(again.takeReplies(1), QStringList({"GetCertType&&1"}));
    EXPECT_EQ(userSettingsText(), "");
}

TEST_F(BridgeConsent, DenyTimeoutAndAQuestionAnsweredAtOnceAllEndIn1008)
{
    startServer();
    PageClient& denied = waitingPage(QStringLiteral("https://evil.example"), {"GetCertType#&&#end"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    prompts.allow(0, false);
    expectRefused(denied);

    server->setConsentTimeoutMs(300);
    QElapsedTimer clock;
    clock.start();
    PageClient& ignored = waitingPage(QStringLiteral("https://slow.example"), {"GetCertType#&&#end"});
    expectRefused(ignored);
    EXPECT_GE(clock.elapsed(), 250);
    ASSERT_EQ(prompts.questions.size(), 2u);
    EXPECT_TRUE(prompts.questions[1].withdrawn) << "the dialog goes away with the page";

    // Dialogs that answer inside the call: the same outcome.
    prompts.consentAtOnce = std::make_pair(false, false);
    expectRefused(waitingPage(QStringLiteral("https://quick.example"), {"GetSN"}));
    prompts.consentAtOnce = std::make_pair(true, false);
    EXPECT_EQ(connectPage(QStringLiteral("https://fast.example")).request("GetCertType#&&#end"), "GetCertType&&1");
    // Refused or unanswered sites are not asked again for a while.
    const size_t asked = prompts.questions.size();
    for (const char* site : {"https://quick.example", "https://slow.example"})
        expectRefused(waitingPage(QString::fromUtf8(site), {"GetSN"}));
    EXPECT_EQ(prompts.questions.size(), asked);
    EXPECT_NE(keys.bridgeLog().find("connection from origin https://slow.example refused: the user did not answer"),
              std::string::npos);
}

TEST_F(BridgeConsent, APageClosedWhileAskedWithdrawsTheQuestion)
{
    startServer();
    PageClient& page = waitingPage(QStringLiteral("http://gone.example:8080"), {"GetSN"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    page.socket().close();
    EXPECT_TRUE(waitUntil([&] { return prompts.questions[0].withdrawn; }, 3000));
    EXPECT_TRUE(waitUntil([&] { return server->clientCount() == 0; }, 3000));
}

TEST_F(BridgeConsent, TooManyWaitingRequestsCloseThePage)
{
    startServer();
    PageClient& page = connectPage(QStringLiteral("https://flood.example"));
    for (int i = 0; i <= ZTWebSocketServer::kMaxQueuedRequests; ++i)
        page.send(QStringLiteral("GetCertType#&&#end"));
    expectRefused(page);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_TRUE(prompts.questions[0].withdrawn);
}

TEST_F(BridgeConsent, RememberedAnswersLiveInTheUsersFile)
{
    writeUserFile("[WebBridge]\nRememberedDeniedSites=https://old-deny.example;https://flip.example\n"
                  "RememberedAllowedSites=HTTPS://Known.Example:443/\n");
    startServer();
    expectRefused(waitingPage(QStringLiteral("https://old-deny.example"), {"GetSN"}));
    EXPECT_EQ(connectPage(QStringLiteral("https://known.example")).request("GetCertType#&&#end"), "GetCertType&&1");
    EXPECT_TRUE(prompts.questions.empty()) << "remembered sites are not asked about";

    // Allowed and remembered: written, taken off the denied list, not asked again.
    PageClient& flip = waitingPage(QStringLiteral("https://flip.example"), {"GetCertType#&&#end"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    prompts.allow(0, true, true);
    EXPECT_EQ(flip.takeReplies(1), QStringList({"GetCertType&&1"}));
    QString allowed, denied;
    ASSERT_TRUE(readUserSetting("WebBridge", "RememberedAllowedSites", &allowed));
    ASSERT_TRUE(readUserSetting("WebBridge", "RememberedDeniedSites", &denied));
    EXPECT_EQ(allowed, "https://known.example;https://flip.example");
    EXPECT_EQ(denied, "https://old-deny.example");
    EXPECT_EQ(connectPage(QStringLiteral("https://flip.example")).request("GetCertType#&&#end"), "GetCertType&&1");
    // Forgotten elsewhere (the options dialog): asked again.
    ASSERT_EQ(writeUserList("WebBridge", "RememberedAllowedSites", {"https://known.example"}), 0u);
    waitingPage(QStringLiteral("https://flip.example"), {"GetSN"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 2; }, 3000));
    prompts.allow(1, true, true);

    // Denied and remembered: the next page of the site is closed unasked.
    PageClient& bad = waitingPage(QStringLiteral("http://bad.example:81"), {"GetSN"});
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 3; }, 3000));
    prompts.allow(2, false, true);
    expectRefused(bad);
    ASSERT_TRUE(readUserSetting("WebBridge", "RememberedDeniedSites", &denied));
    EXPECT_EQ(denied, "https://old-deny.example;http://bad.example:81");
    expectRefused(waitingPage(QStringLiteral("http://BAD.example:81"), {"GetSN"}));
    EXPECT_EQ(prompts.questions.size(), 3u);
}

TEST_F(BridgeConsent, PagesWithoutASiteAreAskedEveryTimeAndNeverRemembered)
{
    startServer();
    prompts.consentAtOnce = std::make_pair(true, true);  // "remember" is ignored for them
    for (const char* origin : {"null", "file://", "null"})
        EXPECT_EQ(connectPage(QString::fromLatin1(origin)).request("GetCertType#&&#end"), "GetCertType&&1") << origin;
    ASSERT_EQ(prompts.questions.size(), 3u);
    for (const auto& q : prompts.questions)
        EXPECT_FALSE(q.canRemember) << q.origin.toStdString();
    EXPECT_EQ(userSettingsText(), "");
}

TEST_F(BridgeConsent, AskingSwitchedOffRefusesUnknownOriginsAtOnce)
{
    setConfig("AskUnknownOrigins", "0");
    setConfig("AllowedOrigins", "https://bank.example");
    writeUserFile("[WebBridge]\nRememberedAllowedSites=https://other.example\n");
    startServer();
    expectRefused(waitingPage(QStringLiteral("https://other.example"), {"GetSN"}));
    expectRefused(waitingPage(QStringLiteral("null"), {"GetSN"}));
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(connectPage(QStringLiteral("https://bank.example")).request("GetCertType#&&#end"), "GetCertType&&1");
    EXPECT_EQ(connectPage().request("GetCertType#&&#end"), "GetCertType&&1");
}

TEST_F(BridgeConsent, AFailedWriteStillAppliesTheAnswer)
{
    // The user's configuration folder is a file: nothing can be written below it.
    std::filesystem::create_directories(keys.root().userConfigHome());
    writeFile(keys.root().userConfigHome() + "/" ZT_USER_SETTINGS_FOLDER, "not a folder");
    startServer();
    prompts.consentAtOnce = std::make_pair(true, true);
    EXPECT_EQ(connectPage(QStringLiteral("https://shop.example")).request("GetCertType#&&#end"), "GetCertType&&1");
    EXPECT_NE(keys.bridgeLog().find("could not remember origin https://shop.example"), std::string::npos);
}

}  // namespace
