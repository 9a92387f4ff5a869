// The programs' loader against our library: all names resolve, the name
// builders work through it, and a library missing one name is refused whole.
#include <filesystem>

#include "common/ShareNames.h"
#include "UtilLibraryFixture.h"

namespace fs = std::filesystem;

TEST_F(UtilLibraryTest, LoaderResolvesEveryNameAndNamesFollowConfig)
{
#define EXPECT_RESOLVED(name) EXPECT_NE(name, nullptr) << #name;
    ZTUTIL_FUNCTIONS(EXPECT_RESOLVED)
#undef EXPECT_RESOLVED

    char name[ZT_PATH_LEN] = {};
    ASSERT_EQ(GetP11ShmName(name), 0u);
    EXPECT_EQ(std::string(name), simplifiedCspName(root.cspName()) + "P11X64");

    setIniValue(root.configPath(), "ZTTokenInfo", "CSPName", "My Token CSP v2.1");
    ASSERT_EQ(GetP11ShmName(name), 0u);
    EXPECT_STREQ(name, "MYTOKENCSPV21P11X64");
    ASSERT_EQ(GetP11ShmLockName(name), 0u);
    EXPECT_STREQ(name, "MYTOKENCSPV21P11SHMLOCK");

    // Without the key every party falls back to the same default name.
    writeFile(root.configPath(), "[ZTTokenInfo]\r\nProductVersion=1.0\r\n");
    ASSERT_EQ(GetP11ShmName(name), 0u);
    EXPECT_STREQ(name, "ZENVITBASECSPV10P11X64");
}

namespace {

// A root whose Librarys folder holds only the given copy of a library.
void placeLibrary(const TestRoot& root, const std::string& from, const std::string& name)
{
    fs::create_directories(root.path("Librarys"));
    fs::copy_file(from, root.path("Librarys/" + name));
}

}  // namespace

TEST(UtilLoaderTest, LibraryMissingOneNameFailsAsAWhole)
{
    TestRoot::Options options;
    options.linkLibraries = false;
    TestRoot root(options);
    placeLibrary(root, ZVIT_INCOMPLETE_UTIL_LIBRARY, "libZTUtil.so");

    EXPECT_FALSE(LoadZTUtilLib());
    EXPECT_NE(g_hModuleZTUtil, nullptr) << "the copy itself must load; only its last name is missing";
    EXPECT_NE(ZTUtil_GetCertPubKey, nullptr);
    EXPECT_EQ(ZTUtil_CovGreenwich2UnixTime, nullptr);
    FreeZTUtilLib();
    g_hModuleZTUtil = nullptr;
}

TEST(UtilLoaderTest, MissingLibraryFails)
{
    TestRoot::Options options;
    options.linkLibraries = false;
    TestRoot root(options);
    EXPECT_FALSE(LoadZTUtilLib());
}
