// The archive reader and the class-path search.
#include "toolkit/jvm/kojvm_zip.h"
#include "tools/mapgen/zip_writer.h"

#include "tests/support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

bool mem_read(void* ctx, std::uint64_t off, void* buf, std::size_t n)
{
    auto* v = static_cast<std::vector<std::uint8_t>*>(ctx);
    if (off > v->size() || n > v->size() - off)
        return false;
    std::memcpy(buf, v->data() + off, n);
    return true;
}

std::vector<std::uint8_t> bytes_of(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

int extract(std::vector<std::uint8_t>& zip, const char* name, std::string* out)
{
    KoZip* z = ko_zip_open(mem_read, &zip, zip.size());
    if (!z)
        return -1;
    KoZipEntry e;
    int r = ko_zip_find(z, name, &e);
    if (r == KO_ZIP_OK) {
        std::vector<char> buf(e.size + 1);
        r = ko_zip_extract(z, buf.data(), e.size);
        if (r == KO_ZIP_OK && out)
            out->assign(buf.data(), e.size);
    }
    ko_zip_close(z);
    return r;
}

TEST(Zip, StoredAndDeflatedMembers)
{
    std::string text(5000, 'x');
    for (std::size_t i = 0; i < text.size(); i += 7)
        text[i] = char('a' + i % 26);
    std::vector<std::uint8_t> zip = write_zip({{"a/Stored.class", bytes_of("plain"), 0}, {"b/D.class", bytes_of(text), 8}});
    std::string got;
    EXPECT_EQ(extract(zip, "a/Stored.class", &got), KO_ZIP_OK);
    EXPECT_EQ(got, "plain");
    EXPECT_EQ(extract(zip, "b/D.class", &got), KO_ZIP_OK);
    EXPECT_EQ(got, text);
    EXPECT_EQ(extract(zip, "missing", nullptr), KO_ZIP_END);
}

TEST(Zip, CommentAndTrailingGarbage)
{
    std::vector<std::uint8_t> zip = write_zip({{"x", bytes_of("1"), 0}}, std::string(100, 'c'));
    EXPECT_EQ(extract(zip, "x", nullptr), KO_ZIP_OK);
    zip.push_back(0);
    EXPECT_EQ(extract(zip, "x", nullptr), -1);
}

TEST(Zip, UnsupportedMethodCrcAndSizeCap)
{
    std::vector<std::uint8_t> m12 = write_zip({{"x", bytes_of("abc"), 12}});
    EXPECT_EQ(extract(m12, "x", nullptr), KO_ZIP_UNSUPPORTED);
    std::vector<std::uint8_t> crc = write_zip({{"x", bytes_of("abc"), 8, true}});
    EXPECT_EQ(extract(crc, "x", nullptr), KO_ZIP_DATA_ERROR);
    std::vector<std::uint8_t> crc0 = write_zip({{"x", bytes_of("abc"), 0, true}});
    EXPECT_EQ(extract(crc0, "x", nullptr), KO_ZIP_DATA_ERROR);
    // A member that claims a huge size is refused before anything is allocated for it.
    ZipMember big{"x", bytes_of("abc"), 0};
    big.claimed_size = 0xFFFFFFF0u;
    std::vector<std::uint8_t> huge = write_zip({big});
    KoZip* z = ko_zip_open(mem_read, &huge, huge.size());
    ASSERT_TRUE(z);
    KoZipEntry e;
    ASSERT_EQ(ko_zip_find(z, "x", &e), KO_ZIP_OK);
    char buf[8];
    EXPECT_EQ(ko_zip_extract(z, buf, sizeof buf), KO_ZIP_DATA_ERROR);
    ko_zip_close(z);
}

TEST(Zip, TooSmallOrNoEndRecord)
{
    std::vector<std::uint8_t> small(10, 0);
    EXPECT_EQ(ko_zip_open(mem_read, &small, small.size()), nullptr);
    std::vector<std::uint8_t> junk(5000, 0x50);
    EXPECT_EQ(ko_zip_open(mem_read, &junk, junk.size()), nullptr);
}

struct Loaded {
    std::string bytes;
    bool called = false;
};
void loaded(unsigned char* b, std::size_t n, int, void* d)
{
    Loaded* l = static_cast<Loaded*>(d);
    l->called = true;
    if (b) {
        l->bytes.assign(reinterpret_cast<char*>(b), n);
        std::free(b);
    }
}

TEST(ClassPath, ArchiveFirstThenFolder)
{
    XrTempRoot root;
    std::string dir = root.dir();
    std::vector<std::uint8_t> zip = write_zip({{"x/Y.class", bytes_of("from-jar"), 8}});
    std::ofstream(dir + "/a.jar", std::ios::binary).write(reinterpret_cast<char*>(zip.data()), std::streamsize(zip.size()));
    std::ofstream(dir + "/LIB.JAR", std::ios::binary).write(reinterpret_cast<char*>(zip.data()), std::streamsize(zip.size()));
    std::string classes = dir + "/classes";
    std::string sub = classes + "/x";
    ASSERT_EQ(system(("mkdir -p " + sub + " " + dir + "/lib.Jar/x").c_str()), 0);
    std::ofstream(sub + "/Y.class") << "from-dir";
    std::ofstream(sub + "/Z.class") << "only-dir";
    std::ofstream(dir + "/lib.Jar/x/Y.class") << "jar-named-dir";
    std::string cp = dir + "/a.jar:" + classes;
    Loaded l;
    ko_jvm_class_path_load("x/Y.class", 9, loaded, &l, const_cast<char*>(cp.c_str()));
    EXPECT_EQ(l.bytes, "from-jar");
    Loaded z;
    ko_jvm_class_path_load("x/Z.class", 9, loaded, &z, const_cast<char*>(cp.c_str()));
    EXPECT_EQ(z.bytes, "only-dir");
    std::string cp2 = dir + "/LIB.JAR";
    Loaded u;
    ko_jvm_class_path_load("x/Y.class", 9, loaded, &u, const_cast<char*>(cp2.c_str()));
    EXPECT_EQ(u.bytes, "from-jar");
    std::string cp3 = dir + "/lib.Jar";
    Loaded d;
    ko_jvm_class_path_load("x/Y.class", 9, loaded, &d, const_cast<char*>(cp3.c_str()));
    EXPECT_EQ(d.bytes, "jar-named-dir");
    Loaded none;
    ko_jvm_class_path_load("x/Y.class", 9, loaded, &none, const_cast<char*>(""));
    EXPECT_TRUE(none.called);
    EXPECT_TRUE(none.bytes.empty());
}

} // namespace
