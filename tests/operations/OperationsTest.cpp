#include "registry/Pkcs11SlotManager.h"

#include "OperationsTest.h"

#include <QPushButton>
#include <QTreeWidget>

#include "manager/MainWindow.h"
#include "manager/OperationMessages.h"
#include "standins/vtoken/Pin.h"
#include "standins/vtoken/Store.h"
#include "TestRoot.h"
#include "ui_MainWindow.h"

vtoken::KeyRecord OperationsTest::key(const std::string& serial) const
{
    vtoken::KeyRecord record;
    EXPECT_EQ(vtoken::Store(m_store).load(serial, &record), vtoken::Status::Ok);
    return record;
}

std::string OperationsTest::recordBytes(const std::string& serial) const
{
    return readFile(vtoken::Store(m_store).recordPath(serial));
}

bool OperationsTest::pinIs(const std::string& serial, const std::string& pin) const
{
    return vtoken::pinMatches(key(serial).userPin, pin);
}

void OperationsTest::startWith(const std::vector<std::pair<std::string, std::string>>& keys,
                               const std::vector<int>& certsPerKey)
{
    for (size_t i = 0; i < keys.size(); ++i)
        plugAndPublish(keys[i].first, static_cast<int>(i), keys[i].second);
    ASSERT_TRUE(startWindow());
    // The nodes show before the pass has read the certificates and enabled
    // the buttons: wait for the whole pass.
    ASSERT_TRUE(waitUntil([&] {
        if (tree()->topLevelItemCount() != static_cast<int>(keys.size()))
            return false;
        if (!keys.empty() && !m_window->form()->pushButton_ChangePin->isEnabled())
            return false;
        for (size_t i = 0; i < certsPerKey.size(); ++i)
            if (tree()->topLevelItem(static_cast<int>(i))->childCount() != certsPerKey[i])
                return false;
        return true;
    }));
}

void OperationsTest::select(int index)
{
    tree()->setCurrentItem(tree()->topLevelItem(index));
}

void OperationsTest::click(QPushButton* button)
{
    // A hidden or disabled button would make the test pass on nothing.
    ASSERT_FALSE(button->isHidden()) << button->objectName().toStdString();
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    button->click();
}

std::string OperationsTest::text(const char* key)
{
    return localizedText(key).toStdString();
}
