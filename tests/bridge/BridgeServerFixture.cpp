#include "BridgeServerFixture.h"

#include "common/UserSettings.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"

void BridgeServerTest::SetUp()
{
    keys.installServerCert();
    ASSERT_TRUE(LoadZTUtilLib());
    basePort = freePortRange();
    ASSERT_NE(basePort, 0);
}

void BridgeServerTest::TearDown()
{
    pages.clear();
    server.reset();
}

void BridgeServerTest::startServer()
{
    server = std::make_unique<ZTWebSocketServer>(basePort);
    server->setPrompts(&prompts);
    server->setPinBackoffMs(0, 0);
}

std::string BridgeServerTest::userSettingsText() const
{
    return readFile(const_cast<BridgeTestKeys&>(keys).root().userConfigHome() + "/" ZT_USER_SETTINGS_FOLDER
                    "/Config.ini");
}

PageClient& BridgeServerTest::connectPage(const QString& origin)
{
    pages.push_back(std::make_unique<PageClient>(origin));
    EXPECT_TRUE(pages.back()->open(server->serverPort()));
    return *pages.back();
}

PageClient& BridgeServerTest::readyPage()
{
    PageClient& page = connectPage();
    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
    page.request("CheckToken");
    return page;
}

void BridgeServerTest::setConfig(const std::string& key, const std::string& value)
{
    setIniValue(keys.root().configPath(), "WebBridge", key, value);
}

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}
