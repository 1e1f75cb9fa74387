#include "common/misc/xr_uid.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

namespace {

std::string bytes_of(const XrUid& uid)
{
    BYTE b[16];
    uid.get(b);
    return std::string(reinterpret_cast<const char*>(b), 16);
}

XrUid make_uid(const XrString& text)
{
    XrUidGenerator gen;
    gen.add_string(text);
    gen.add_int(42);
    XrUid uid;
    gen.get_uid(uid);
    return uid;
}

TEST(Uid, SetClearCompare)
{
    XrUid a;
    EXPECT_FALSE(a.is_set());
    BYTE b[16] = {};
    b[15] = 1;
    a.set(b);
    EXPECT_TRUE(a.is_set()) << "the last byte alone makes it set";
    XrUid c;
    EXPECT_TRUE(a != c);
    c.set(b);
    EXPECT_TRUE(a == c);
    BYTE out[16];
    c.get(out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 16), std::string(reinterpret_cast<char*>(b), 16));
    a.clear();
    EXPECT_FALSE(a.is_set());
    EXPECT_TRUE(a == XrUid());
}

TEST(Uid, GeneratorsNeverRepeatWithinOneMillisecond)
{
    // Many generators fed the same text, most of them within one tick.
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        const XrUid uid = make_uid(L"Home");
        EXPECT_TRUE(uid.is_set());
        EXPECT_TRUE(seen.insert(bytes_of(uid)).second) << "repeated at " << i;
    }
}

TEST(Uid, GeneratorsInAnotherProcessGiveOtherIdentifiers)
{
    // A forked child starts from the same tick base, counter and text.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string b = bytes_of(make_uid(L"Work"));
        const bool ok = write(fds[1], b.data(), b.size()) == 16;
        _exit(ok ? 0 : 1);
    }
    const std::string mine = bytes_of(make_uid(L"Work"));
    char theirs[16];
    EXPECT_EQ(read(fds[0], theirs, 16), 16);
    int status = 0;
    waitpid(child, &status, 0);
    close(fds[0]);
    close(fds[1]);
    EXPECT_NE(mine, std::string(theirs, 16));
}

} // namespace
