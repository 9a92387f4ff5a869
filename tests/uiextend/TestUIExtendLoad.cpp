// Loading the UI extension library through its binding, as both programs do,
// in processes that have no widgets.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <set>

#include "ChildProcess.h"
#include "TestRoot.h"
#include "bindings/ZTUIExtend_fundef.h"

namespace fs = std::filesystem;

namespace {

struct LoadedLibrary {
    LoadedLibrary() { ok = LoadZTUIExtendLib(); }
    ~LoadedLibrary() { FreeZTUIExtendLib(); }
    bool ok;
};

}  // namespace

TEST(UIExtendLoad, BindsAllNamesWithoutCreatingWidgets)
{
    TestRoot root;
    LoadedLibrary lib;
    ASSERT_TRUE(lib.ok);
    ASSERT_NE(g_hModuleUIExtend, nullptr);
#define EXPECT_BOUND(name) EXPECT_NE(fn_##name, nullptr) << #name;
    ZTUIEX_FUNCTIONS(EXPECT_BOUND)
#undef EXPECT_BOUND
    // A second InitCtx (the manager loads after the daemon-style set-up) stays ready.
    EXPECT_NE(fn_ZTUIEx_InitCtx(), 0);
}

TEST(UIExtendLoad, FreeClearsThePointersSoNoCallGoesIntoAClosedLibrary)
{
    TestRoot root;
    ASSERT_TRUE(LoadZTUIExtendLib());
    FreeZTUIExtendLib();
    EXPECT_EQ(g_hModuleUIExtend, nullptr);
    EXPECT_EQ(fn_ZTUIEx_MessageBox, nullptr);
    EXPECT_EQ(fn_ZTUIEx_InitCtx, nullptr);
    // And it loads again afterwards.
    ASSERT_TRUE(LoadZTUIExtendLib());
    FreeZTUIExtendLib();
}

TEST(UIExtendLoad, UnimplementedFunctionsRefuseWithDistinctCodes)
{
    TestRoot root;
    LoadedLibrary lib;
    ASSERT_TRUE(lib.ok);
    char name[16] = {};
    size_t size = sizeof(name);
    uint8_t data[4] = {1, 2, 3, 4};
    uint8_t out[16];
    size_t outSize = sizeof(out);
    const uint32_t codes[] = {
        fn_ZTUIEx_SetSignatureVerificationFlag(1),
        fn_ZTUIEx_UnlockPin(nullptr, 1),
        fn_ZTUIEx_SelectDevice(name, &size),
        fn_ZTUIEx_ChangeDevName(nullptr),
        fn_ZTUIEx_GenKeyPair(nullptr, "c", 1),
        fn_ZTUIEx_ShowDevInfo(nullptr),
        fn_ZTUIEx_InitToken(nullptr, data, sizeof(data)),
        fn_ZTUIEx_InitTokenWithPin(nullptr, "12345678", 0),
        fn_ZTUIEx_TransDataSign(nullptr, data, sizeof(data), out, &outSize),
        fn_ZTUIEx_SuperInitToken(nullptr),
        fn_ZTUIEx_ParseTransData(data, sizeof(data), name, &size),
        fn_ZTUIEx_OverRideContainer(nullptr, "c"),
        fn_ZTUIEx_ChangePinForCSPKCS(nullptr, 1, "12345678", "87654321"),
        fn_ZTUIEx_VerifyPinForCSPKCS(nullptr, 1, name, &size),
        fn_ZTUIEx_ImportCert(nullptr, "c", data, sizeof(data), 1),
        fn_ZTUIEx_EraseKeyPairs(nullptr),
        fn_ZTUIEx_SetSignalFlag(1),
    };
    std::set<uint32_t> seen;
    for (uint32_t code : codes) {
        EXPECT_EQ(code & 0xFFFF0000u, ZTUIEX_ERR_NOT_SUPPORTED_BASE) << std::hex << code;
        EXPECT_TRUE(seen.insert(code).second) << "code used twice: " << std::hex << code;
    }
    // Nothing was written through the output arguments.
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(size, sizeof(name));
}

TEST(UIExtendLoad, DialogsWithoutAWidgetApplicationAreRefusedNotCrashed)
{
    // This program has a QCoreApplication only, like a windowless daemon.
    TestRoot root;
    LoadedLibrary lib;
    ASSERT_TRUE(lib.ok);
    EXPECT_EQ(fn_ZTUIEx_MessageBox("Pin_Locked", "MessageBox_Title_Notice", 0x10, 0), ZTUIEX_ERR_NO_GUI);
    EXPECT_EQ(fn_ZTUIEx_VerifyPin(nullptr, 1), ZTUIEX_ERR_NO_GUI);
    EXPECT_EQ(fn_ZTUIEx_ChangePin(nullptr, 1), ZTUIEX_ERR_NO_GUI);
    EXPECT_EQ(fn_ZTUIEx_SetPin(nullptr, 1), ZTUIEX_ERR_NO_GUI);
    EXPECT_EQ(fn_ZTUIEx_InitTokenWithDefConfig(nullptr, 0), ZTUIEX_ERR_NO_GUI);
    EXPECT_EQ(fn_ZTUIEx_SetParentHwnd(nullptr), ZTUIEX_ERR_NO_GUI);
}

TEST(UIExtendLoad, ProgramWithoutQtApplicationOrDisplayLoadsIt)
{
    TestRoot root;
    std::string output;
    int rc = runProgram(ZVIT_UIEXTEND_PROBE, {root.root()}, &output,
                        {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
    EXPECT_EQ(rc, 0) << output;
}

TEST(UIExtendLoad, LibraryMissingOneNameIsRefusedAsAWhole)
{
    TestRoot::Options options;
    options.linkLibraries = false;
    TestRoot root(options);
    fs::copy_file(ZVIT_UIEXTEND_INCOMPLETE, root.path("Librarys/libZTUIExtend.so"));
    EXPECT_FALSE(LoadZTUIExtendLib());
    // The half-bound table is not left behind for a caller that ignores the result.
    EXPECT_EQ(fn_ZTUIEx_InitCtx, nullptr);
    EXPECT_EQ(fn_ZTUIEx_MessageBox, nullptr);
    FreeZTUIExtendLib();
    EXPECT_EQ(g_hModuleUIExtend, nullptr);
}
