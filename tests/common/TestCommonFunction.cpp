#include <gtest/gtest.h>

#include <cstring>

#include "common_function.h"

TEST(CommonFunction, Placeholder)
{
    EXPECT_EQ(GetPinDegree("Abcdefg1"), ZT_PIN_DEGREE_STRONG);
}
