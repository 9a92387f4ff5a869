#pragma once
// A bridge server on free loopback ports over a test store, with the utility
// library bound so the configuration file is read as in the manager.
#include <gtest/gtest.h>

#include <memory>

#include "BridgeTestKeys.h"
#include "BridgeTestPrompts.h"
#include "PageClient.h"
#include "bridge/ZTWebSocketServer.h"

class BridgeServerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the server (after the test has prepared the store and config)
    // with prompts as its questioner. PIN back-off is off: the tests that
    // are about it switch it on.
    void startServer();
    // A connected page; the fixture keeps it alive.
    PageClient& connectPage(const QString& origin = QString());
    // A page that has sent "Initialize" and "CheckToken".
    PageClient& readyPage();
    void setConfig(const std::string& key, const std::string& value);

    // The remembered sites of the user's own settings file.
    std::string userSettingsText() const;

    BridgeTestKeys keys;
    ScriptedPrompts prompts;
    quint16 basePort = 0;
    std::unique_ptr<ZTWebSocketServer> server;
    std::vector<std::unique_ptr<PageClient>> pages;
};

// Reply texts as the pages see them.
QString utf8(const char* text);
