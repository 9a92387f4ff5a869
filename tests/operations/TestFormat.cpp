// Format with its two confirmations and the set-PIN prompt that follows.
#include "registry/Pkcs11SlotManager.h"

#include <QTreeWidget>

#include "OperationsTest.h"
#include "manager/MainWindow.h"
#include "ui_MainWindow.h"

namespace {

const char* kNewPin = "Zxcv9876";

}  // namespace

class FormatTest : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        setConfig("ZTTokenInfo", "IsSupportFormat", "1");
        makeKey("KEYW01", "Wes", {{"rsa2048", "c1", "rsa", "sign"}, {"sm2", "c2", "sm2", "sign"}});
        startWith({{"KEYW01", "Wes"}}, {2});
        select(0);
    }
    QPushButton* formatButton() const { return m_window->form()->pushButton_Format; }
};

TEST_F(FormatTest, EitherConfirmationCancelledLeavesTheKeyUntouched)
{
    ASSERT_FALSE(formatButton()->isHidden());
    const std::string before = recordBytes("KEYW01");
    {
        ModalScript script;
        script.then("QMessageBox", pressCancel);
        click(formatButton());
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_EQ(script.seen()[0].text, text("Format_Prompt_One"));
        EXPECT_EQ(script.seen()[0].buttons,
                  (std::vector<std::string>{text("Continue_Formatting_Btn"), text("Cancel")}));
    }
    {
        ModalScript script;
        script.then("QMessageBox", pressConfirm).then("QMessageBox", pressCancel);
        click(formatButton());
        ASSERT_EQ(script.seen().size(), 2u);
        // The second prompt names the key by its serial.
        EXPECT_EQ(script.seen()[1].text, "Please confirm once more: format key KEYW01?");
        EXPECT_EQ(script.seen()[1].buttons,
                  (std::vector<std::string>{text("Confirm_Formatting_Btn"), text("Cancel")}));
    }
    EXPECT_EQ(recordBytes("KEYW01"), before);
}

TEST_F(FormatTest, CompletedFormatEmptiesTheKeyAndOffersTheNewPin)
{
    {
        ModalScript script;
        script.then("QMessageBox", pressConfirm)
            .then("QMessageBox", pressConfirm)
            .then("QMessageBox", pressConfirm)
            .then("ZTUIExSetPinDialog", [](QWidget* d) { setNewPin(d, kNewPin); })
            .then("ZTUIExMessageBox", pressOk);
        click(formatButton());
        ASSERT_EQ(script.seen().size(), 5u);
        EXPECT_EQ(script.seen()[2].text, text("Format_Success"));
        EXPECT_EQ(script.seen()[2].buttons, (std::vector<std::string>{text("Set_Pin_Btn"), text("Cancel")}));
        EXPECT_EQ(script.seen()[4].text, "The PIN has been changed. The key allows 10 PIN attempts.");
    }
    const vtoken::KeyRecord record = key("KEYW01");
    EXPECT_TRUE(record.containers.empty());
    EXPECT_TRUE(record.initialised);
    EXPECT_TRUE(record.pinChanged);
    EXPECT_TRUE(pinIs("KEYW01", kNewPin));
    EXPECT_EQ(record.label, "Wes");
    // The tree is rebuilt without the certificates.
    EXPECT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1 && tree()->topLevelItem(0)->childCount() == 0; }));
}

TEST_F(FormatTest, DecliningTheNewPinLeavesTheFormattedKeyWithItsInitialPin)
{
    {
        ModalScript script;
        script.then("QMessageBox", pressConfirm).then("QMessageBox", pressConfirm).then("QMessageBox", pressCancel);
        click(formatButton());
        EXPECT_EQ(script.seen().size(), 3u);
    }
    const vtoken::KeyRecord record = key("KEYW01");
    EXPECT_TRUE(record.containers.empty());
    EXPECT_FALSE(record.pinChanged);
    EXPECT_TRUE(pinIs("KEYW01", "12345678"));
}

TEST_F(FormatTest, AFormatThatFailsIsReportedAndNeverOffersAPin)
{
    // The key is pulled between the selection and the format.
    vkey(m_store, {"unplug", "KEYW01"});
    const std::string before = recordBytes("KEYW01");
    {
        ModalScript script;
        script.then("QMessageBox", pressConfirm).then("QMessageBox", pressConfirm).then("ZTUIExMessageBox", pressOk);
        click(formatButton());
        ASSERT_EQ(script.seen().size(), 3u);
        EXPECT_EQ(script.seen()[2].text, text("Format_Failed"));
        EXPECT_EQ(script.seen()[2].iconKind, 0x10u);
    }
    EXPECT_EQ(recordBytes("KEYW01"), before);
}
