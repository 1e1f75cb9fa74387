// The toolkit runtime library: buffers, numbers, formatting, UTF-8, IEEE
// bytes, Unicode tables, hash tables, handles and the task scheduler.
#include "lib/adt/kohash.h"
#include "lib/fsm/kofsm.h"
#include "lib/io/kohandle.h"
#include "lib/rt/kolib.h"
#include "lib/unicode/kounicode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(Buffer, GrowsByDoubling)
{
    KoBuffer b;
    ko_buffer_init(&b);
    ASSERT_TRUE(ko_buffer_reserve(&b, 1));
    EXPECT_EQ(b.capacity, 1024u);
    ASSERT_TRUE(ko_buffer_reserve(&b, 3000));
    EXPECT_EQ(b.capacity, 4096u);
    ko_buffer_clear(&b);
    ASSERT_TRUE(ko_buffer_append(&b, "abcd", 4));
    ko_buffer_remove_front(&b, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data), b.length), "cd");
    ko_buffer_release(&b);
    EXPECT_EQ(b.data, nullptr);
}

TEST(Numbers, IntegerParsing)
{
    const char* s = "  -0x1A";
    char* end = nullptr;
    EXPECT_EQ(ko_strtol(s, &end, 0), -26);
    EXPECT_EQ(end, s + std::strlen(s));
    EXPECT_EQ(ko_strtol("99999999999", nullptr, 10), INT32_MAX);
    EXPECT_EQ(ko_strtol("-99999999999", nullptr, 10), INT32_MIN);
    EXPECT_EQ(ko_strtoll("017", nullptr, 0), 15);
    const char* none = "xyz";
    ko_strtol(none, &end, 10);
    EXPECT_EQ(end, none);
}

TEST(Numbers, DecimalConversion)
{
    errno = 0;
    EXPECT_TRUE(std::isinf(ko_strtod("1e400", nullptr)));
    EXPECT_EQ(errno, ERANGE);
    EXPECT_TRUE(std::isnan(ko_strtod("nAn", nullptr)));
    EXPECT_EQ(ko_strtod("0.1", nullptr), 0.1);
    char digits[400];
    int decpt, sign;
    int n = ko_dtoa(0.1, 0, 0, &decpt, &sign, digits);
    EXPECT_EQ(std::string(digits, n), "1");
    EXPECT_EQ(decpt, 0);
    n = ko_dtoa(-1234.5, 0, 0, &decpt, &sign, digits);
    EXPECT_EQ(std::string(digits, n), "12345");
    EXPECT_EQ(decpt, 4);
    EXPECT_EQ(sign, 1);
}

TEST(Format, Conversions)
{
    char buf[64];
    ko_snprintf(buf, sizeof buf, "%5.2f", 3.14159);
    EXPECT_STREQ(buf, " 3.14");
    ko_snprintf(buf, sizeof buf, "%-4d|", 7);
    EXPECT_STREQ(buf, "7   |");
    const char* fmt_s = "%s";
    const char* volatile none = nullptr;
    ko_snprintf(buf, sizeof buf, fmt_s, none);
    EXPECT_STREQ(buf, "(null)");
    char small[4];
    EXPECT_EQ(ko_snprintf(small, sizeof small, "%d", 123456), 6);
    EXPECT_STREQ(small, "123");
    const char* fmt = "%.*s|%x|%X|%qu|%%|%y"; // "q" and unknown conversions are the formatter's own
    ko_snprintf(buf, sizeof buf, fmt, 2, "abc", 255, 255, 7ULL);
    EXPECT_STREQ(buf, "ab|ff|FF|7|%|y");
    ko_snprintf(buf, sizeof buf, "%f %E", INFINITY, -INFINITY);
    EXPECT_STREQ(buf, "inf -INF");
}

TEST(Utf8, CheckEncodeCompare)
{
    EXPECT_FALSE(ko_utf8_check(reinterpret_cast<const unsigned char*>("\xC3"), 1, 0, nullptr));
    EXPECT_FALSE(ko_utf8_check(reinterpret_cast<const unsigned char*>("\x80\x41"), 2, 0, nullptr));
    EXPECT_FALSE(ko_utf8_check(reinterpret_cast<const unsigned char*>("\xF4\x90\x80\x80"), 4, 0x10FFFF, nullptr));
    std::size_t count = 0;
    EXPECT_TRUE(ko_utf8_check(reinterpret_cast<const unsigned char*>("a\xC3\xA9"), 3, 0, &count));
    EXPECT_EQ(count, 2u);
    unsigned char out[4];
    ASSERT_EQ(ko_utf8_encode(0x20AC, out, 4), 3);
    EXPECT_EQ(std::memcmp(out, "\xE2\x82\xAC", 3), 0);
    EXPECT_EQ(ko_utf8_encode(0x20AC, out, 2), 0);
    EXPECT_EQ(ko_utf8_casecmp("Stra\xC3\x9F" "e", -1, "STRA\xC3\x9F" "E", -1), 0);
    EXPECT_EQ(ko_utf8_casecmp("\xC3\x89t\xC3\xA9", -1, "\xC3\xA9T\xC3\x89", -1), 0);
    EXPECT_EQ(ko_utf8_casecmp("abc", -1, "abcd", -1), -1);
    char* narrow = ko_utf8_to_8bit(reinterpret_cast<const unsigned char*>("a\xE2\x82\xAC" "b"), 5, '?', nullptr);
    EXPECT_STREQ(narrow, "a?b");
    ko_free(narrow);
}

TEST(Unicode, Tables)
{
    EXPECT_EQ(ko_unicode_to_case(0xFF, 1), 0x178);
    EXPECT_EQ(ko_unicode_to_case('7', 0), '7');
    EXPECT_EQ(ko_unicode_to_case('A', 0), 'a');
    EXPECT_EQ(ko_unicode_to_case(0x10400, 0), 0x10428);
    EXPECT_EQ(ko_unicode_category('_'), 12);
    EXPECT_EQ(ko_unicode_category(0x2028), 24);
    EXPECT_EQ(ko_unicode_category(0xE123), 29);
    EXPECT_EQ(ko_unicode_category(0x4E2D), 5);
    EXPECT_EQ(ko_unicode_category(0x0358), 0);
    EXPECT_EQ(ko_unicode_numeric_value('z'), 35);
    EXPECT_EQ(ko_unicode_numeric_value(0xBD), -2);
    EXPECT_EQ(ko_unicode_numeric_value(0x2182), 10000);
    EXPECT_EQ(ko_unicode_numeric_value('!'), -1);
}

TEST(Ieee, Bytes)
{
    unsigned char b[8];
    ko_double_to_bytes(1.0, b);
    EXPECT_EQ(std::memcmp(b, "\x3F\xF0\0\0\0\0\0\0", 8), 0);
    ko_double_to_bytes(-0.0, b);
    EXPECT_EQ(std::memcmp(b, "\0\0\0\0\0\0\0\0", 8), 0);
    ko_double_to_bytes(ko_double_nan(), b);
    EXPECT_EQ(std::memcmp(b, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8), 0);
    ko_float_to_bytes(ko_float_positive_infinity(), b);
    EXPECT_EQ(std::memcmp(b, "\x7F\x80\0\0", 4), 0);
    ko_float_to_bytes(-1.5f, b);
    EXPECT_EQ(std::memcmp(b, "\xBF\xC0\0\0", 4), 0);
    for (double x : {1.0, -2.75, 1e-310, 123456.789, 1e300}) {
        ko_double_to_bytes(x, b);
        EXPECT_EQ(ko_double_from_bytes(b), x);
    }
}

struct Entry {
    KoHashLink link;
    int key;
};
std::uint32_t hash_entry(const void* e, void*) { return static_cast<std::uint32_t>(static_cast<const Entry*>(e)->key); }
int compare_entry(const void* k, const void* e, void*) { return static_cast<const Entry*>(k)->key != static_cast<const Entry*>(e)->key; }
int g_freed;
void free_entry(void*, void*) { ++g_freed; }

TEST(Hash, InsertReplacesEqualEntries)
{
    g_freed = 0;
    KoHash* h = ko_hash_new(hash_entry, compare_entry, free_entry, 0, nullptr);
    Entry a{{}, 5}, b{{}, 5}, c{{}, 1029};
    ko_hash_insert(h, &a);
    ko_hash_insert(h, &b);
    EXPECT_EQ(g_freed, 1);
    EXPECT_EQ(h->count, 1u);
    ko_hash_insert(h, &c);
    Entry key{{}, 1029};
    EXPECT_EQ(ko_hash_find(h, &key), &c);
    Entry missing{{}, 7};
    EXPECT_EQ(ko_hash_find(h, &missing), nullptr);
    ko_hash_remove(h, &c);
    EXPECT_EQ(ko_hash_find(h, &key), nullptr);
    ko_hash_free(h);
    EXPECT_EQ(g_freed, 2);
}

TEST(HashDeath, RemovingTwiceIsFatal)
{
    KoHash* h = ko_hash_new(hash_entry, compare_entry, nullptr, 0, nullptr);
    Entry a{{}, 3};
    ko_hash_insert(h, &a);
    ko_hash_remove(h, &a);
    EXPECT_DEATH(ko_hash_remove(h, &a), "FATAL");
    ko_hash_free(h);
}

struct Recorder {
    std::vector<std::string> writes;
};
long record_write(void* u, const void* b, std::size_t n)
{
    static_cast<Recorder*>(u)->writes.emplace_back(static_cast<const char*>(b), n);
    return long(n);
}
const KoHandleOps kRecOps = {nullptr, nullptr, record_write, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

TEST(Handle, LineFlushAndPrintf)
{
    Recorder r;
    KoHandle* h = ko_handle_create(&kRecOps, &r);
    ko_handle_set_line_flush(h, true);
    ko_handle_write(h, "a", 1);
    EXPECT_TRUE(r.writes.empty());
    ko_handle_write(h, "b\n", 2);
    ASSERT_EQ(r.writes.size(), 1u);
    EXPECT_EQ(r.writes[0], "ab\n");
    EXPECT_EQ(ko_handle_printf(h, "%s", ""), -1);
    ko_handle_release(h);
}

TEST(Handle, MemorySeek)
{
    char* bytes = static_cast<char*>(ko_malloc(10));
    std::memcpy(bytes, "0123456789", 10);
    KoHandle* h = ko_memory_open(bytes, 10, false);
    EXPECT_FALSE(ko_handle_seek(h, 0, 11));
    EXPECT_TRUE(ko_handle_seek(h, 0, 10));
    EXPECT_EQ(ko_handle_getc(h), -1);
    EXPECT_TRUE(ko_handle_seek(h, 0, 3));
    EXPECT_EQ(ko_handle_getc(h), '3');
    EXPECT_EQ(ko_handle_write(h, "x", 1), -1);
    ko_handle_release(h);
    KoHandle* out = ko_stdout();
    ko_handle_release(out);
    ko_handle_release(out);
    EXPECT_EQ(ko_stdout(), out);
}

int g_steps;
int step_state(KoFsm*, KoFsmTask*, void*, void* data)
{
    ++g_steps;
    return --*static_cast<int*>(data) > 0 ? KO_FSM_YIELD : KO_FSM_DONE;
}
int bad_state(KoFsm*, KoFsmTask*, void*, void*) { return 5; }

TEST(Fsm, TasksRunToCompletion)
{
    KoFsm fsm;
    ko_fsm_init(&fsm, nullptr);
    int a = 3, b = 2;
    g_steps = 0;
    ko_fsm_task_create(&fsm, step_state, &a, nullptr);
    ko_fsm_task_create(&fsm, step_state, &b, nullptr);
    ko_fsm_run(&fsm);
    EXPECT_EQ(g_steps, 5);
    EXPECT_EQ(fsm.ready.head, nullptr);
}

TEST(FsmDeath, UnknownResultIsFatal)
{
    KoFsm fsm;
    ko_fsm_init(&fsm, nullptr);
    ko_fsm_task_create(&fsm, bad_state, nullptr, nullptr);
    EXPECT_DEATH(ko_fsm_run(&fsm), "Unreachable code reached");
    KoFsmTask* t = fsm.ready.head;
    ko_fsm_queue_remove(&fsm.ready, t);
    ko_free(t);
}

} // namespace
