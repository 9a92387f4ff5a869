// The manager's whole PIN and format road through the bound pointers, watching
// the key's record file change in exactly the expected fields.
#include <gtest/gtest.h>

#include "standins/vtoken/Pin.h"
#include "UiTestKit.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"

namespace {

uint8_t pinInfo(void* handle, int byte)
{
    uint8_t record[ZTTOKEN_PININFO_LEN] = {};
    uint64_t length = sizeof(record);
    EXPECT_EQ(pfn_ZTToken_GetPinInfo(handle, 1, record, &length), 0u);
    return record[byte];
}

}  // namespace

TEST(UIExtendEndToEnd, SetVerifyChangeFormatAndSetAgain)
{
    KeySetup setup;
    setup.pinChanged = false;
    UiKeyEnvironment env(setup);
    ASSERT_TRUE(env.ready());
    void* h = env.handle();
    EXPECT_EQ(pinInfo(h, ZTTOKEN_PININFO_CHANGED), 0);

    std::string bytes = env.recordBytes();
    {
        DialogDriver driver("ZTUIExSetPinDialog", [](QWidget* d) {
            typeInto(d, "lineEdit_NewPin", "First123");
            typeInto(d, "lineEdit_ConfirmPin", "First123");
            clickButton(d, "pushButton_OK");
        });
        ASSERT_EQ(fn_ZTUIEx_SetPin(h, 1), 0u);
    }
    EXPECT_EQ(changedFields(bytes, env.recordBytes()), "checksum,flags,user-pin");
    EXPECT_NE(pinInfo(h, ZTTOKEN_PININFO_CHANGED), 0);

    bytes = env.recordBytes();
    {
        DialogDriver driver("ZTUIExVerifyPinDialog", [](QWidget* d) {
            typeInto(d, "lineEdit_Pin", "First123");
            clickButton(d, "pushButton_OK");
        });
        ASSERT_EQ(fn_ZTUIEx_VerifyPin(h, 1), 0u);
    }
    // A right PIN gives back the attempt it took: the record is as it was.
    EXPECT_EQ(env.recordBytes(), bytes);

    {
        DialogDriver driver("ZTUIExChangePinDialog", [](QWidget* d) {
            typeInto(d, "lineEdit_OldPin", "First123");
            typeInto(d, "lineEdit_NewPin", "Second45");
            typeInto(d, "lineEdit_ConfirmPin", "Second45");
            clickButton(d, "pushButton_OK");
        });
        ASSERT_EQ(fn_ZTUIEx_ChangePin(h, 1), 0u);
    }
    EXPECT_EQ(changedFields(bytes, env.recordBytes()), "checksum,user-pin");
    EXPECT_TRUE(vtoken::pinMatches(env.record().userPin, "Second45"));

    bytes = env.recordBytes();
    {
        DialogDriver driver("ZTUIExFormatDialog", [](QWidget*) {});
        ASSERT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(h, 0), 0u);
    }
    EXPECT_EQ(changedFields(bytes, env.recordBytes()), "checksum,flags,user-pin");
    EXPECT_EQ(pinInfo(h, ZTTOKEN_PININFO_CHANGED), 0);
    EXPECT_EQ(pinInfo(h, ZTTOKEN_PININFO_RETRIES), vtoken::kDefaultAttempts);
    EXPECT_NE(pinInfo(h, ZTTOKEN_PININFO_INITIALISED), 0);
    EXPECT_EQ(ZTToken_VerifyPin(h, 1, vtoken::kDefaultUserPin, nullptr), 0u);

    {
        DialogDriver driver("ZTUIExSetPinDialog", [](QWidget* d) {
            typeInto(d, "lineEdit_NewPin", "Third678");
            typeInto(d, "lineEdit_ConfirmPin", "Third678");
            clickButton(d, "pushButton_OK");
        });
        ASSERT_EQ(fn_ZTUIEx_SetPin(h, 1), 0u);
    }
    EXPECT_EQ(ZTToken_VerifyPin(h, 1, "Third678", nullptr), 0u);
    EXPECT_NE(pinInfo(h, ZTTOKEN_PININFO_CHANGED), 0);
}
