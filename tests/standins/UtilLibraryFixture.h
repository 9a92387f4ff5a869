#pragma once
// Loads the build's utility library the way the programs do, inside a
// throw-away installation root.
#include <gtest/gtest.h>

#include "TestRoot.h"
#include "bindings/ZTUtil_fundef.h"

class UtilLibraryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(LoadZTUtilLib()) << "stand-in utility library did not load"; }
    void TearDown() override
    {
        FreeZTUtilLib();
        g_hModuleZTUtil = nullptr;
    }

    TestRoot root;
};
