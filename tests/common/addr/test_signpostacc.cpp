#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/addr/xr_signpostacc.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/misc/xr_locale_dummy.h"
#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/signs_writer.h"

namespace {

namespace L = xr_signs_layout;

using Bytes = std::vector<BYTE>;
using Path = std::vector<XrGid>;

XrMemoryStorageAccessor* accessor_over(const Bytes& bytes)
{
    BYTE* copy = new BYTE[bytes.size() + 1];
    if (!bytes.empty())
        std::memcpy(copy, bytes.data(), bytes.size());
    return new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(bytes.size()), true);
}

Bytes build(const XrSignsFile& signs)
{
    Bytes out;
    std::string error;
    EXPECT_TRUE(build_signs(signs, out, error)) << error;
    return out;
}

XrSignsRecord record(Path following, std::vector<XrSignsInstruction> instructions = {})
{
    XrSignsRecord r;
    r.following = std::move(following);
    r.instructions = std::move(instructions);
    return r;
}

XrSignsEntry entry(XrGid gid, std::vector<XrSignsRecord> records)
{
    XrSignsEntry e;
    e.gid = gid;
    e.records = std::move(records);
    return e;
}

Path to_vector(const XrArray<XrGid>& a)
{
    return Path(a.get_items(), a.get_items() + a.get_num_items());
}

std::string utf8(const XrString& s)
{
    XrByteArray out;
    XrUTF8::encode_utf8(s.c_str(), -1, out);
    return std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items());
}

struct Line {
    int kind;
    std::string text;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& l)
{
    return os << "{" << l.kind << " '" << l.text << "'}";
}

struct InstructionList {
    XrPtrArray<XrSignpostAccessor::XrInstruction*> items;
    ~InstructionList()
    {
        for (int i = 0; i < items.get_num_items(); ++i)
            delete items.get_item(i);
    }
    std::vector<Line> lines() const
    {
        std::vector<Line> out;
        for (int i = 0; i < items.get_num_items(); ++i)
            out.push_back({items.get_item(i)->kind, utf8(items.get_item(i)->text)});
        return out;
    }
};

// An accessor opened over the bytes.
struct Opened {
    XrSignpostAccessor acc;
    bool ok;
    explicit Opened(const Bytes& bytes) : ok(acc.open(accessor_over(bytes))) {}
};

// Every path of a gid (first, then next until false).
std::vector<Path> all_paths(XrSignpostAccessor& acc, XrGid gid)
{
    std::vector<Path> out;
    XrArray<XrGid> path;
    if (!acc.get_first_path(gid, path))
        return out;
    do
        out.push_back(to_vector(path));
    while (acc.get_next_path(path));
    return out;
}

// Where the bucket of gid lies in the file.
size_t bucket_offset(const Bytes& file, XrGid gid)
{
    int n = xr_bytes::get_i16_le(file.data() + L::BUCKET_COUNT_OFFSET);
    size_t at = L::INDEX_OFFSET + L::INDEX_ENTRY_SIZE * (xr_signs_hash(gid) % static_cast<unsigned>(n));
    return xr_bytes::get_u32_le(file.data() + at + L::INDEX_BUCKET_OFFSET);
}

void put16(Bytes& b, size_t at, unsigned v)
{
    xr_bytes::put_u16_le(b.data() + at, static_cast<std::uint16_t>(v));
}

XrSignsFile sample_signs()
{
    XrSignsFile signs;
    signs.buckets = 3;
    signs.entries.push_back(entry(0x00020005, {record({0x00020006, 0x00030001}, {{1, "eng\tCentre\tdeu\tZentrum"},
                                                                                 {2, "A7"}}),
                                              record({}, {{3, "Exit 12"}, {4, "E45"}}),
                                              record({0x00090009})}));
    signs.entries.push_back(entry(0x00010000, {}));
    signs.entries.push_back(entry(7, {record({8}, {{1, "Nord"}})}));
    return signs;
}

TEST(SignpostAccessor, HashOfGid)
{
    EXPECT_EQ(XrSignpostAccessor::hash_gid(0x00010000), 213522346u);
    EXPECT_EQ(XrSignpostAccessor::hash_gid(1), 8923u);
    // Wrapping unsigned 32-bit arithmetic.
    EXPECT_EQ(XrSignpostAccessor::hash_gid(0xFFFFFFFFu), static_cast<std::uint32_t>(65535ull * 8923u + 65535ull * 213522346u));
    std::mt19937 rng(5);
    for (int i = 0; i < 1000; ++i) {
        XrGid g = rng();
        EXPECT_EQ(XrSignpostAccessor::hash_gid(g), xr_signs_hash(g));
    }
}

TEST(SignpostAccessor, ColourSchemes)
{
    XrSignsFile signs = sample_signs();
    const BYTE shapes[20] = {0, 1, 2, 19, 20, 21, 22, 23, 24, 25, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2};
    for (int i = 0; i < 20; ++i) {
        for (int k = 0; k < 9; ++k)
            signs.schemes[i].colors[k] = static_cast<BYTE>(i * 10 + k);
        signs.schemes[i].shape = shapes[i];
    }
    Opened o(build(signs));
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.acc.get_num_sp_colors(), 20);
    for (int i = 1; i <= 20; ++i) {
        BYTE c[9] = {};
        XrSignpostAccessor::Shape shape = XrSignpostAccessor::Rectangle;
        ASSERT_TRUE(o.acc.get_sp_colors(i, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape)) << i;
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(c[k], (i - 1) * 10 + k);
        EXPECT_EQ(static_cast<int>(shape), shapes[i - 1]);
    }
    BYTE c[9] = {};
    XrSignpostAccessor::Shape shape = XrSignpostAccessor::Rectangle;
    for (int i : {0, 21, -1})
        EXPECT_FALSE(o.acc.get_sp_colors(i, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape)) << i;
}

TEST(SignpostAccessor, UnknownShapeIsRefused)
{
    for (int bad : {3, 18, 26, 255}) {
        XrSignsFile signs = sample_signs();
        signs.schemes[4].shape = static_cast<BYTE>(bad);
        Opened o(build(signs));
        ASSERT_TRUE(o.ok);
        BYTE c[9] = {};
        XrSignpostAccessor::Shape shape = XrSignpostAccessor::Rectangle;
        EXPECT_FALSE(o.acc.get_sp_colors(5, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape)) << bad;
        EXPECT_TRUE(o.acc.get_sp_colors(4, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], shape));
    }
}

TEST(SignpostAccessor, OpenRefusesBadHeaders)
{
    const Bytes good = build(sample_signs());
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"short header", [](Bytes& b) { b.resize(9); }},
        {"magic", [](Bytes& b) { b[3] = 'Q'; }},
        {"version 1", [](Bytes& b) { b[L::VERSION_OFFSET] = 1; }},
        {"version 3", [](Bytes& b) { b[L::VERSION_OFFSET] = 3; }},
        {"version high bytes", [](Bytes& b) { b[L::VERSION_OFFSET + 3] = 1; }},
        {"no buckets", [](Bytes& b) { put16(b, L::BUCKET_COUNT_OFFSET, 0); }},
        {"negative bucket count", [](Bytes& b) { put16(b, L::BUCKET_COUNT_OFFSET, 0x8000); }},
        {"index cut", [](Bytes& b) { b.resize(L::INDEX_OFFSET + L::INDEX_ENTRY_SIZE * 3 - 1); }},
        {"index beyond file", [](Bytes& b) { put16(b, L::BUCKET_COUNT_OFFSET, 30000); }},
    };
    {
        Opened o(good);
        EXPECT_TRUE(o.ok);
    }
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        Opened o(b);
        EXPECT_FALSE(o.ok) << c.name;
        XrArray<XrGid> path;
        EXPECT_FALSE(o.acc.get_first_path(7, path)) << c.name;
    }
    XrSignpostAccessor acc;
    EXPECT_FALSE(acc.open(nullptr));
    XrArray<XrGid> path;
    EXPECT_FALSE(acc.get_first_path(7, path));
}

TEST(SignpostAccessor, PathsOfAGid)
{
    Opened o(build(sample_signs()));
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(all_paths(o.acc, 0x00020005),
              (std::vector<Path>{{0x00020005, 0x00020006, 0x00030001}, {0x00020005}, {0x00020005, 0x00090009}}));
    EXPECT_EQ(all_paths(o.acc, 7), (std::vector<Path>{{7, 8}}));
    // Absent gids, in an empty and in a used bucket.
    for (XrGid g : {0u, 6u, 0x00020004u, 0xFFFFFFFFu})
        EXPECT_TRUE(all_paths(o.acc, g).empty()) << g;
}

TEST(SignpostAccessor, GidWithoutRecordsGivesAnEmptyPath)
{
    Opened o(build(sample_signs()));
    ASSERT_TRUE(o.ok);
    XrArray<XrGid> path;
    path.append(99);
    // Found, but no record: no path entries, which reads as no signpost.
    EXPECT_EQ(o.acc.get_first_path(0x00010000, path), 0);
    EXPECT_EQ(path.get_num_items(), 0);
    EXPECT_FALSE(o.acc.get_next_path(path));
    InstructionList list;
    EXPECT_FALSE(o.acc.get_instructions(list.items, 0));
}

TEST(SignpostAccessor, InstructionsInTheWantedLanguage)
{
    Opened o(build(sample_signs()));
    ASSERT_TRUE(o.ok);
    XrArray<XrGid> path;
    InstructionList list;
    // Before any lookup there is no current record.
    EXPECT_FALSE(o.acc.get_instructions(list.items, 0));

    // Each lookup gives the number of path entries.
    ASSERT_EQ(o.acc.get_first_path(0x00020005, path), 3);
    ASSERT_EQ(path.get_num_items(), 3);
    const XrLC deu = pack_language_code("deu", true);
    const XrLC eng = pack_language_code("eng", true);
    ASSERT_TRUE(o.acc.get_instructions(list.items, deu));
    // Kind bytes 1 and 2 are handed out as 1 and 0; the German alternative
    // is wrapped in direction marks.
    EXPECT_EQ(list.lines(), (std::vector<Line>{{1, "\u202aZentrum"}, {0, "A7"}}));
    ASSERT_TRUE(o.acc.get_instructions(list.items, eng));
    EXPECT_EQ(list.lines(), (std::vector<Line>{{1, "\u202aCentre"}, {0, "A7"}}));
    // An absent language takes the first alternative.
    ASSERT_TRUE(o.acc.get_instructions(list.items, pack_language_code("fin", true)));
    EXPECT_EQ(list.lines()[0], (Line{1, "\u202aCentre"}));

    ASSERT_EQ(o.acc.get_next_path(path), 1);
    ASSERT_TRUE(o.acc.get_instructions(list.items, 0));
    EXPECT_EQ(list.lines(), (std::vector<Line>{{2, "Exit 12"}, {3, "E45"}}));

    // A record without instructions.
    ASSERT_EQ(o.acc.get_next_path(path), 2);
    ASSERT_TRUE(o.acc.get_instructions(list.items, 0));
    EXPECT_EQ(list.items.get_num_items(), 0);

    // After the last record, and after a lookup that failed.
    EXPECT_FALSE(o.acc.get_next_path(path));
    ASSERT_TRUE(o.acc.get_first_path(7, path));
    EXPECT_FALSE(o.acc.get_first_path(6, path));
    EXPECT_FALSE(o.acc.get_instructions(list.items, 0));
    EXPECT_EQ(list.items.get_num_items(), 0);
}

TEST(SignpostAccessor, TextsAreUtf8)
{
    XrSignsFile signs;
    signs.buckets = 1;
    signs.entries.push_back(entry(42, {record({}, {{1, "K\xc3\xb8""benhavn \xe2\x86\x92"}, {1, "\xff"}})}));
    Opened o(build(signs));
    ASSERT_TRUE(o.ok);
    XrArray<XrGid> path;
    ASSERT_TRUE(o.acc.get_first_path(42, path));
    InstructionList list;
    ASSERT_TRUE(o.acc.get_instructions(list.items, 0));
    ASSERT_EQ(list.items.get_num_items(), 2);
    EXPECT_STREQ(list.items.get_item(0)->text.c_str(), L"K\u00f8benhavn \u2192");
    EXPECT_EQ(list.items.get_item(1)->text.char_at(0), static_cast<TCHAR>(XrUTF8::replacement_char));
}

TEST(SignpostAccessor, ManyGidsInFewBuckets)
{
    // Binary search over many keys per bucket, against a plain map.
    std::mt19937 rng(11);
    XrSignsFile signs;
    signs.buckets = 5;
    std::map<XrGid, std::vector<Path>> expected;
    while (expected.size() < 400) {
        XrGid g = rng() % 200000;
        if (expected.count(g) != 0)
            continue;
        XrSignsEntry e;
        e.gid = g;
        std::vector<Path> paths;
        for (int r = static_cast<int>(rng() % 3); r >= 0; --r) {
            Path following;
            for (int k = static_cast<int>(rng() % 4); k > 0; --k)
                following.push_back(rng());
            e.records.push_back(record(following, {{1, "x"}}));
            Path p{g};
            p.insert(p.end(), following.begin(), following.end());
            paths.push_back(p);
        }
        expected[g] = paths;
        signs.entries.push_back(e);
    }
    Opened o(build(signs));
    ASSERT_TRUE(o.ok);
    for (const auto& [gid, paths] : expected)
        EXPECT_EQ(all_paths(o.acc, gid), paths) << gid;
    for (XrGid g = 0; g < 3000; ++g)
        if (expected.count(g) == 0) {
            EXPECT_TRUE(all_paths(o.acc, g).empty()) << g;
        }
}

TEST(SignpostAccessor, DamagedBucketsFailQuietly)
{
    XrSignsFile signs;
    signs.buckets = 1;
    signs.entries.push_back(entry(10, {record({11, 12}, {{1, "one"}}), record({13}, {{2, "two"}})}));
    const Bytes good = build(signs);
    const size_t bucket = bucket_offset(good, 10);
    const size_t index_entry = L::INDEX_OFFSET;
    const size_t length = index_entry + L::INDEX_BUCKET_LENGTH;
    const size_t key_record = bucket + L::KEYS_OFFSET + L::KEY_RECORD;
    const size_t first = bucket + L::KEYS_OFFSET + L::KEY_SIZE;          // the first record
    const size_t instructions = first + L::RECORD_HEAD + 2 * L::PATH_GID_SIZE; // its two gids behind
    const size_t second = instructions + 1 + 4;                          // kind, "one"
    ASSERT_EQ(xr_bytes::get_u16_le(good.data() + first + L::RECORD_SIZE), second - first);

    // What each damage still lets through: the first path, the second path
    // and the first record's instructions.
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        bool first_path;
        bool second_path;
        bool instructions;
    } cases[] = {
        {"intact", [](Bytes&) {}, true, true, true},
        {"bucket beyond the file", [&](Bytes& b) { put16(b, index_entry + L::INDEX_BUCKET_OFFSET + 2, 0x7FFF); }, false, false, false},
        {"bucket longer than the file", [&](Bytes& b) { put16(b, length, 0x7FFF); }, false, false, false},
        {"negative bucket length", [&](Bytes& b) { put16(b, length, 0xFFF0); }, false, false, false},
        {"empty bucket", [&](Bytes& b) { put16(b, length, 0); }, false, false, false},
        {"too many keys", [&](Bytes& b) { b[bucket] = 200; }, false, false, false},
        {"key offset beyond the bucket", [&](Bytes& b) { put16(b, key_record, 5000); }, false, false, false},
        {"key offset on the last byte", [&](Bytes& b) { put16(b, key_record, static_cast<unsigned>(b.size() - bucket - 1)); }, false, false, false},
        {"record size 0", [&](Bytes& b) { put16(b, first, 0); }, false, false, false},
        {"record size 2", [&](Bytes& b) { put16(b, first, 2); }, false, false, false},
        {"record beyond the bucket", [&](Bytes& b) { put16(b, first, 0xFFF0); }, false, false, false},
        {"path beyond the record", [&](Bytes& b) { b[first + L::RECORD_PATH_COUNT] = 200; }, false, false, false},
        {"second record size 0", [&](Bytes& b) { put16(b, second, 0); }, true, false, true},
        {"second record beyond the bucket", [&](Bytes& b) { put16(b, second, 400); }, true, false, true},
        {"instruction kind 0", [&](Bytes& b) { b[instructions] = 0; }, true, true, false},
        {"instruction kind 5", [&](Bytes& b) { b[instructions] = 5; }, true, true, false},
        {"text without its terminator", [&](Bytes& b) { b[second - 1] = 'x'; }, true, true, false},
        {"terminator missing", [&](Bytes& b) { b.resize(b.size() - 2); put16(b, length, static_cast<unsigned>(b.size() - bucket)); }, true, true, true},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        Opened o(b);
        ASSERT_TRUE(o.ok) << c.name;
        XrArray<XrGid> path;
        InstructionList list;
        bool first_ok = o.acc.get_first_path(10, path);
        EXPECT_EQ(first_ok, c.first_path) << c.name;
        if (first_ok) {
            EXPECT_EQ(to_vector(path), (Path{10, 11, 12})) << c.name;
        }
        EXPECT_EQ(o.acc.get_instructions(list.items, 0), c.instructions) << c.name;
        if (!c.instructions) {
            EXPECT_EQ(list.items.get_num_items(), 0) << c.name;
        }
        bool second_ok = o.acc.get_next_path(path);
        EXPECT_EQ(second_ok, c.second_path) << c.name;
        if (second_ok) {
            EXPECT_EQ(to_vector(path), (Path{10, 13})) << c.name;
        }
        EXPECT_FALSE(o.acc.get_next_path(path)) << c.name;
    }
}

TEST(SignpostAccessor, ReadsAWrittenFile)
{
    XrTempRoot root;
    std::string path = root.make_dirs("/media/mmc1/map/mapdata") + "/signs.bin";
    std::string error;
    ASSERT_TRUE(write_signs(path, sample_signs(), error)) << error;
    XrFileStorageAccessor* file = new XrFileStorageAccessor;
    ASSERT_TRUE(file->open(XrString(path.c_str()), true));
    XrSignpostAccessor acc;
    ASSERT_TRUE(acc.open(file));
    EXPECT_EQ(all_paths(acc, 7), (std::vector<Path>{{7, 8}}));
}

TEST(SignsWriter, RefusesWhatTheFormatCannotHold)
{
    struct Case {
        const char* name;
        std::function<void(XrSignsFile&)> change;
    } cases[] = {
        {"duplicate gid", [](XrSignsFile& s) { s.entries.push_back(entry(7, {})); }},
        {"NUL in a text", [](XrSignsFile& s) { s.entries[2].records[0].instructions[0].text = std::string("a\0b", 3); }},
        {"long path", [](XrSignsFile& s) { s.entries[2].records[0].following.assign(256, 1); }},
        {"long bucket", [](XrSignsFile& s) { s.entries[2].records[0].instructions.assign(40, {1, std::string(1000, 'x')}); }},
        {"too many buckets", [](XrSignsFile& s) { s.buckets = 40000; }},
        {"too many keys", [](XrSignsFile& s) {
             s.buckets = 1;
             for (XrGid g = 100; g < 400; ++g)
                 s.entries.push_back(entry(g, {}));
         }},
    };
    for (const Case& c : cases) {
        XrSignsFile signs = sample_signs();
        c.change(signs);
        Bytes out;
        std::string error;
        EXPECT_FALSE(build_signs(signs, out, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

} // namespace
