// A kept registry reference sees registrations, replacements and removals
// made after it was first used.
#include "common/base/xr_singletonref.h"

#include <gtest/gtest.h>

TEST(SingletonRef, FollowsTheRegistry)
{
    int first = 1, second = 2;
    XrSingletonRef<int> ref(L"SingletonRefTest");
    EXPECT_EQ(ref.get(), nullptr);
    XrSingleton::set_instance(XrString(L"SingletonRefTest"), &first);
    EXPECT_EQ(ref.get(), &first);
    EXPECT_EQ(ref.get(), &first);
    XrSingleton::set_instance(XrString(L"SingletonRefTest"), nullptr);
    EXPECT_EQ(ref.get(), nullptr);
    XrSingleton::set_instance(XrString(L"SingletonRefTest"), &second);
    EXPECT_EQ(ref.get(), &second);
    // Other names change the generation too; the entry stays the same.
    XrSingleton::set_instance(XrString(L"SingletonRefOther"), &first);
    EXPECT_EQ(ref.get(), &second);
    XrSingleton::set_instance(XrString(L"SingletonRefOther"), nullptr);
    XrSingleton::set_instance(XrString(L"SingletonRefTest"), nullptr);
    EXPECT_EQ(ref.get(), nullptr);
}
