#include "BridgeCommandTable.h"

#include <iterator>

#include "BridgeProtocol.h"

namespace {

constexpr bool kExact = true;
constexpr bool kLoose = false;
constexpr bool kPin = true;
constexpr bool kNoPin = false;

}  // namespace

// Order matters only where a name starts another: the earlier row wins.
const BridgeCommandRow BridgeCommandTable::kRows[] = {
    {"Initialize", 2, kLoose, kNoPin, &BridgeProtocol::runInitialize},
    {"Finalize", 1, kLoose, kNoPin, &BridgeProtocol::runFinalize},
    {"CheckToken", 1, kLoose, kNoPin, &BridgeProtocol::runCheckToken},
    {"GetSN", 1, kLoose, kNoPin, &BridgeProtocol::runGetSN},
    {"GetCertDN", 2, kExact, kNoPin, &BridgeProtocol::runGetCertDN},
    {"GetCertSN", 2, kExact, kNoPin, &BridgeProtocol::runGetCertSN},
    {"GetCertNA", 2, kExact, kNoPin, &BridgeProtocol::runGetCertNA},
    {"GetCertType", 2, kExact, kNoPin, &BridgeProtocol::runGetCertType},
    {"VerifyUserPin", 3, kExact, kPin, &BridgeProtocol::runVerifyUserPin},
    {"ChangeUserPin", 4, kExact, kPin, &BridgeProtocol::runChangeUserPin},
    {"GetCntlVersion", 1, kLoose, kNoPin, &BridgeProtocol::runGetCntlVersion},
};

const BridgeCommandRow* BridgeCommandTable::begin()
{
    return std::begin(kRows);
}

const BridgeCommandRow* BridgeCommandTable::end()
{
    return std::end(kRows);
}

const BridgeCommandRow* bridgeMatchCommand(const QString& message)
{
    for (const BridgeCommandRow* row = BridgeCommandTable::begin(); row != BridgeCommandTable::end(); ++row) {
        if (message.startsWith(QLatin1String(row->name)))
            return row;
    }
    return nullptr;
}
