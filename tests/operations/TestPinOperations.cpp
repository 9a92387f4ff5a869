// Change PIN, the forced set-PIN request and the signature test on virtual keys.
#include "registry/Pkcs11SlotManager.h"

#include <QTreeWidget>

#include "OperationsTest.h"
#include "manager/MainWindow.h"
#include "ui_MainWindow.h"

namespace {

const char* kOldPin = "12345678";
const char* kNewPin = "Qwer5678";
const unsigned kErrorIcon = 0x10;
const unsigned kInfoIcon = 0x40;

}  // namespace

TEST_F(OperationsTest, ChangedPinVerifiesAndTheOldOneNoLongerDoesAfterAWrongFirstTry)
{
    makeKey("KEYC01", "Carl", {{"rsa2048", "c1", "rsa", "sign"}});
    startWith({{"KEYC01", "Carl"}}, {1});
    select(0);
    {
        ModalScript script;
        script
            .then("ZTUIExChangePinDialog",
                  [&](QWidget* d) {
                      changePin(d, "Wrong000", kNewPin);
                      // The wrong old PIN costs one attempt, on the key itself.
                      EXPECT_EQ(key("KEYC01").userPin.attemptsLeft, 9);
                      EXPECT_TRUE(pinIs("KEYC01", kOldPin));
                      changePin(d, kOldPin, kNewPin);
                  })
            .then("ZTUIExMessageBox", pressOk);
        click(m_window->form()->pushButton_ChangePin);
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_EQ(script.seen()[1].text, "The PIN has been changed. The key allows 10 PIN attempts.");
        EXPECT_EQ(script.seen()[1].iconKind, kInfoIcon);
    }
    EXPECT_TRUE(pinIs("KEYC01", kNewPin));
    EXPECT_FALSE(pinIs("KEYC01", kOldPin));
    EXPECT_EQ(key("KEYC01").userPin.attemptsLeft, 10);

    // Cancelled: nothing said, nothing changed.
    {
        ModalScript script;
        script.then("ZTUIExChangePinDialog", pressDialogCancel);
        click(m_window->form()->pushButton_ChangePin);
        EXPECT_EQ(script.seen().size(), 1u);
    }
    EXPECT_TRUE(pinIs("KEYC01", kNewPin));
}

TEST_F(OperationsTest, LastWrongPinAndAnAlreadyLockedKeyShowPinLockedAsAnError)
{
    makeKey("KEYL01", "Lou", {{"rsa2048", "c1", "rsa", "sign"}});
    vkey(m_store, {"retries", "KEYL01", "1"});
    startWith({{"KEYL01", "Lou"}}, {1});
    select(0);
    {
        ModalScript script;
        script.then("ZTUIExChangePinDialog", [](QWidget* d) { changePin(d, "Wrong000", kNewPin); })
            .then("ZTUIExMessageBox", pressOk);
        click(m_window->form()->pushButton_ChangePin);
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_EQ(script.seen()[1].text, text("Pin_Locked"));
        EXPECT_EQ(script.seen()[1].iconKind, kErrorIcon);
    }
    EXPECT_EQ(key("KEYL01").userPin.attemptsLeft, 0);
    EXPECT_TRUE(pinIs("KEYL01", kOldPin));

    // Locked before: no PIN dialog at all, for either button.
    for (QPushButton* button : {m_window->form()->pushButton_ChangePin, m_window->form()->pushButton_TestSign}) {
        ModalScript script;
        script.then("ZTUIExMessageBox", pressOk);
        click(button);
        ASSERT_EQ(script.seen().size(), 1u) << button->objectName().toStdString();
        EXPECT_EQ(script.seen()[0].text, text("Pin_Locked"));
        EXPECT_EQ(script.seen()[0].iconKind, kErrorIcon);
    }
    EXPECT_EQ(key("KEYL01").userPin.attemptsLeft, 0);
}

TEST_F(OperationsTest, SignTestOnHealthyUninitialisedAndCertificateLessKeys)
{
    makeKey("KEYS01", "Sam", {{"rsa2048", "c1", "rsa", "sign"}});
    vkey(m_store, {"create", "KEYU02", "--label", "Una", "--pin", kOldPin, "--pin-changed", "--uninitialised"});
    vkey(m_store, {"import", "KEYU02", certFixture("rsa1024"), "--container", "c1", "--type", "rsa", "--usage", "sign"});
    makeKey("KEYE03", "Eve", {});
    startWith({{"KEYS01", "Sam"}, {"KEYU02", "Una"}, {"KEYE03", "Eve"}}, {1, 1, 0});
    QPushButton* signTest = m_window->form()->pushButton_TestSign;

    // A certificate node stands for its key.
    tree()->setCurrentItem(tree()->topLevelItem(0)->child(0));
    {
        ModalScript script;
        script
            .then("ZTUIExVerifyPinDialog",
                  [](QWidget* d) {
                      enterPin(d, "Wrong000");
                      enterPin(d, kOldPin);
                  })
            .then("ZTUIExMessageBox", pressOk);
        click(signTest);
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_EQ(script.seen()[1].text, text("SignatureTest_Success"));
        EXPECT_EQ(script.seen()[1].iconKind, kInfoIcon);
    }
    // A verified PIN gives the spent attempt back.
    EXPECT_EQ(key("KEYS01").userPin.attemptsLeft, 10);
    {
        ModalScript script;
        script.then("ZTUIExVerifyPinDialog", pressDialogCancel);
        click(signTest);
        EXPECT_EQ(script.seen().size(), 1u);
    }

    const std::string untouched = recordBytes("KEYU02");
    select(1);
    {
        ModalScript script;
        script.then("ZTUIExMessageBox", pressOk);
        click(signTest);
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_EQ(script.seen()[0].text, text("InitToken_Needed"));
        EXPECT_EQ(script.seen()[0].iconKind, kErrorIcon);
    }
    EXPECT_EQ(recordBytes("KEYU02"), untouched);

    select(2);
    {
        ModalScript script;
        script.then("ZTUIExMessageBox", pressOk);
        click(signTest);
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_EQ(script.seen()[0].text, "Key KEYE03 holds no certificate.");
    }
}

TEST_F(OperationsTest, ChangeButtonSetsAnInitialPinAndSignTestAsksForItFirst)
{
    vkey(m_store, {"create", "KEYN01", "--label", "Ned", "--pin", kOldPin});
    vkey(m_store, {"import", "KEYN01", certFixture("rsa1024"), "--container", "c1", "--type", "rsa", "--usage", "sign"});
    startWith({{"KEYN01", "Ned"}}, {1});
    select(0);

    // Declining the prompt ends the test without a verification or a message.
    {
        ModalScript script;
        script.then("QMessageBox", pressCancel);
        click(m_window->form()->pushButton_TestSign);
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_EQ(script.seen()[0].text, text("Device_Not_Set_Password"));
    }
    EXPECT_FALSE(key("KEYN01").pinChanged);

    {
        ModalScript script;
        script.then("ZTUIExSetPinDialog", [](QWidget* d) { setNewPin(d, kNewPin); })
            .then("ZTUIExMessageBox", pressOk);
        click(m_window->form()->pushButton_ChangePin);
        ASSERT_EQ(script.seen().size(), 2u);
        EXPECT_EQ(script.seen()[1].text, "The PIN has been changed. The key allows 10 PIN attempts.");
    }
    EXPECT_TRUE(key("KEYN01").pinChanged);
    EXPECT_TRUE(pinIs("KEYN01", kNewPin));
}

TEST_F(OperationsTest, ForcedChangeAsksForANewPinWhenTheKeyIsPlugged)
{
    setConfig("ZTTokenInfo", "ForcedModifyPIN", "1");
    vkey(m_store, {"create", "KEYF01", "--label", "Fay", "--pin", kOldPin});
    ModalScript script;
    script
        .then("QMessageBox",
              [](QWidget* box) {
                  pressConfirm(box);
              })
        .then("ZTUIExSetPinDialog", [](QWidget* d) { setNewPin(d, kNewPin); })
        .then("ZTUIExMessageBox", pressOk);
    plugAndPublish("KEYF01", 0, "Fay", 0x00080000);
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return script.finished(); }));
    ASSERT_GE(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].text, text("Device_Not_Set_Password"));
    EXPECT_EQ(script.seen()[0].buttons, (std::vector<std::string>{text("Set_Pin_Btn"), text("Cancel")}));
    EXPECT_TRUE(key("KEYF01").pinChanged);
    EXPECT_TRUE(pinIs("KEYF01", kNewPin));
}
