#pragma once
// The manager's window over virtual keys (the manager tests' fixture) with
// the store's view of a key after each operation.
#include <QPushButton>

#include "ManagerFixture.h"
#include "ModalScript.h"
#include "standins/vtoken/Record.h"

class OperationsTest : public ManagerTest
{
protected:
    vtoken::KeyRecord key(const std::string& serial) const;
    std::string recordBytes(const std::string& serial) const;
    bool pinIs(const std::string& serial, const std::string& pin) const;
    // Plugs the keys given (serial, label) into slots 0.., starts the window
    // and waits until every key node has certsPerKey[i] children.
    void startWith(const std::vector<std::pair<std::string, std::string>>& keys, const std::vector<int>& certsPerKey);
    void select(int topLevelIndex);
    void click(QPushButton* button);
    // The text of a key of the language file in use.
    static std::string text(const char* key);
};
