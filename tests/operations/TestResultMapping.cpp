// What each PIN dialog result tells the user: only 0 is a success.
#include <gtest/gtest.h>

#include <string>

#include "manager/PinOutcome.h"

namespace {

std::string keyOf(PinDialogKind kind, uint32_t code)
{
    const PinReport report = pinDialogReport(kind, code);
    return report.textKey ? report.textKey : "";
}

}  // namespace

TEST(PinResultMapping, OnlyZeroIsSuccessAndCancellationsAreSilent)
{
    const PinDialogKind kinds[] = {PinDialogKind::Verify, PinDialogKind::Change, PinDialogKind::SetPrompt};
    const uint32_t failures[] = {0x10000001u, 0x10000412u, 0x30001036u, 0x30002003u, 0x30003003u,
                                 0x30004003u, 0x30000102u, 0x30000106u, 0xFFFFFFFFu, 1u};
    for (PinDialogKind kind : kinds) {
        EXPECT_TRUE(pinDialogReport(kind, 0).success);
        EXPECT_EQ(pinDialogReport(kind, 0).flags, 0x40u);
        for (uint32_t code : failures) {
            const PinReport report = pinDialogReport(kind, code);
            EXPECT_FALSE(report.success) << std::hex << code;
            if (report.textKey) {
                EXPECT_EQ(report.flags, 0x10u) << std::hex << code;
            }
        }
        EXPECT_EQ(keyOf(kind, 0x10000412u), "Pin_Locked");
    }
    EXPECT_EQ(keyOf(PinDialogKind::Verify, 0), "SignatureTest_Success");
    EXPECT_EQ(keyOf(PinDialogKind::Change, 0), "ChangePin_Success");
    EXPECT_EQ(keyOf(PinDialogKind::SetPrompt, 0), "ChangePin_Success");

    EXPECT_EQ(keyOf(PinDialogKind::Verify, 0x30002003u), "");
    EXPECT_EQ(keyOf(PinDialogKind::Verify, 0x10000001u), "");
    EXPECT_EQ(keyOf(PinDialogKind::Verify, 0x30003003u), "VerifyPin_Failed");
    EXPECT_EQ(keyOf(PinDialogKind::Change, 0x30003003u), "");
    EXPECT_EQ(keyOf(PinDialogKind::Change, 0x30004003u), "");
    EXPECT_EQ(keyOf(PinDialogKind::Change, 0x30002003u), "ChangePin_Failed");
    EXPECT_EQ(keyOf(PinDialogKind::SetPrompt, 0x30004003u), "");
    EXPECT_EQ(keyOf(PinDialogKind::SetPrompt, 0x30000107u), "SetPin_Failed");
    EXPECT_EQ(keyOf(PinDialogKind::SetPrompt, 0x10000001u), "SetPin_Failed");
}
