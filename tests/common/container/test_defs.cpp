#include "common/container/xr_defs.h"

#include <gtest/gtest.h>

static int checked(int v)
{
    XR_ASSERT(v > 0);
    return v;
}

TEST(XrAssertDeathTest, NamesExpressionFileAndMethod)
{
    EXPECT_EQ(checked(3), 3);
    EXPECT_DEATH(checked(0), "test_defs.cpp:[0-9]+: int checked\\(int\\): Assertion `v > 0' failed");
}
