// The binding of the token library: all or nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestRoot.h"
#include "bindings/ZTTokenExp_fundef.h"

namespace fs = std::filesystem;

namespace {

TEST(TokenLoader, ResolvesEveryNameAndBothSpellingsCallTheLibrary)
{
    TestRoot root;
    ASSERT_TRUE(LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER));
    int resolved = 0;
#define COUNT_RESOLVED(name, required) resolved += name != nullptr;
    ZTTOKEN_FUNCTIONS(COUNT_RESOLVED)
#undef COUNT_RESOLVED
    EXPECT_EQ(103, resolved);
    EXPECT_EQ(ZTToken_GetPinInfo, pfn_ZTToken_GetPinInfo);
    EXPECT_EQ(&ZTToken_GetTokenLabel, &pfn_ZTToken_GetTokenLabel);  // one pointer, two names
    // Names the software token does not implement say so, never success.
    uint8_t out[8];
    EXPECT_EQ(ZTTOKEN_ERR_NOT_SUPPORTED, ZTToken_GenRandom(nullptr, out, sizeof(out)));
    EXPECT_EQ(ZTTOKEN_ERR_NOT_SUPPORTED, ZTToken_SignHash(nullptr, 2, out, 8, out, nullptr));
    EXPECT_EQ(ZTTOKEN_ERR_NOT_SUPPORTED, ZTToken_TransmitAPDU(nullptr, out, 4, out, nullptr));
    FreeZTTokenLib();
    EXPECT_EQ(nullptr, ZTToken_EnumDevice);
    EXPECT_EQ(nullptr, g_hToken);
}

TEST(TokenLoader, RefusesALibraryThatLacksOneRequiredName)
{
    TestRoot::Options options;
    options.linkLibraries = false;
    TestRoot root(options);
    fs::copy_file(ZVIT_INCOMPLETE_TOKEN_LIBRARY, root.path("Librarys/libZTTokenKernel.so"));
    EXPECT_FALSE(LoadZTTokenLib(ZTTOKEN_CALLER_DAEMON));
    // Nothing half-bound is left for a caller to use.
    EXPECT_EQ(nullptr, InitZTToken);
    EXPECT_EQ(nullptr, ZTToken_EnumDeviceWithAllCount);
    EXPECT_EQ(nullptr, g_hToken);

    fs::remove(root.path("Librarys/libZTTokenKernel.so"));
    EXPECT_FALSE(LoadZTTokenLib(ZTTOKEN_CALLER_DAEMON));  // no library at all

    fs::copy_file(ZVIT_TEST_LIBRARY_DIR "/libZTTokenKernel.so", root.path("Librarys/libZTTokenKernel.so"));
    EXPECT_TRUE(LoadZTTokenLib(ZTTOKEN_CALLER_DAEMON));
    FreeZTTokenLib();
}

TEST(TokenLoader, AnUnknownCallerKindFailsTheLoad)
{
    TestRoot root;
    EXPECT_FALSE(LoadZTTokenLib(7));
    EXPECT_EQ(nullptr, ZTToken_GetPinInfo);
    EXPECT_TRUE(LoadZTTokenLib(ZTTOKEN_CALLER_DAEMON));
    FreeZTTokenLib();
}

}  // namespace
