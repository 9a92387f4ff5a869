#pragma once
// Stand-ins for the two things the certificate manager takes from the main
// window: its form's certificate tree and the token's memory store read.
#include <functional>

class QTreeWidget;

namespace Ui {
class UKeyMainWindow
{
public:
    QTreeWidget* treeWidget = nullptr;
};
}  // namespace Ui

struct FakeCertStore {
    // Called by CCertManager::readCertFromMemByIndex; null means "empty index".
    static std::function<unsigned long(unsigned char* buffer, unsigned long* length, int index)> read;
    static int calls;
    static int lastIndex;
    static unsigned long lastLengthIn;
    static void reset();
};
