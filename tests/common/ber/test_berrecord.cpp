#include "common/ber/xr_berrecord.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "common/container/xr_string.h"
#include "common/types/xr_datetime.h"
#include "tests/common/ber/ber_test_util.h"

namespace {

std::unique_ptr<XrBerRecord> owned(XrBerRecord* r)
{
    return std::unique_ptr<XrBerRecord>(r);
}

// Sets the local zone for the test and restores it afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* tz)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had)
            m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

} // namespace

TEST(BerOctets, Tags)
{
    struct Case {
        int cls;
        bool constructed;
        std::uint32_t number;
        Bytes octets;
    } cases[] = {
        {XR_BER_UNIVERSAL, false, 2, hex("02")},
        {XR_BER_UNIVERSAL, true, 17, hex("31")},
        {XR_BER_UNIVERSAL, false, 30, hex("1E")},
        {XR_BER_UNIVERSAL, false, 31, hex("1F 1F")},
        {XR_BER_UNIVERSAL, false, 200, hex("1F 81 48")},
        {XR_BER_CONTEXT, true, 3, hex("A3")},
        {XR_BER_PRIVATE, false, 0x3FFF, hex("DF FF 7F")},
        {XR_BER_APPLICATION, false, (1u << 28) - 1, hex("5F FF FF FF 7F")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        BYTE out[8];
        const int n = ber_encode_tag(c.cls, c.constructed, c.number, out);
        EXPECT_EQ(n, ber_tag_size(c.number));
        EXPECT_EQ(Bytes(out, out + n), c.octets);
        int cls = -1;
        bool constructed = !c.constructed;
        std::uint32_t number = 0;
        EXPECT_EQ(ber_decode_tag(c.octets.data(), static_cast<std::uint32_t>(c.octets.size()), &cls, &constructed,
                                 &number),
                  n);
        EXPECT_EQ(cls, c.cls);
        EXPECT_EQ(constructed, c.constructed);
        EXPECT_EQ(number, c.number);
    }
}

TEST(BerOctets, TagsThatDoNotDecode)
{
    const Bytes cases[] = {
        hex(""),               // nothing
        hex("1F"),             // high form without its number
        hex("1F 81"),          // group with the continuation bit at the end
        hex("1F 81 81 81 81 01"), // a number beyond 28 bits
    };
    for (const Bytes& b : cases) {
        int cls;
        bool constructed;
        std::uint32_t number;
        EXPECT_EQ(ber_decode_tag(b.data(), static_cast<std::uint32_t>(b.size()), &cls, &constructed, &number), -1);
    }
}

TEST(BerOctets, Lengths)
{
    struct Case {
        std::uint32_t length;
        Bytes octets;
    } cases[] = {
        {0, hex("00")},
        {127, hex("7F")},
        {128, hex("81 80")},
        {255, hex("81 FF")},
        {256, hex("82 01 00")},
        {65536, hex("83 01 00 00")},
        {0xFFFFFFFFu, hex("84 FF FF FF FF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        BYTE out[8];
        const int n = ber_encode_length(c.length, out);
        EXPECT_EQ(n, ber_length_size(c.length));
        EXPECT_EQ(Bytes(out, out + n), c.octets);
        std::uint32_t length = 1;
        EXPECT_EQ(ber_decode_length(c.octets.data(), static_cast<std::uint32_t>(c.octets.size()), &length), n);
        EXPECT_EQ(length, c.length);
    }
}

TEST(BerOctets, LengthsThatDoNotDecode)
{
    const Bytes cases[] = {
        hex(""),
        hex("80"),                // indefinite form
        hex("80 00 00"),          // indefinite form with octets behind
        hex("85 01 02 03 04 05"), // five value octets
        hex("82 01"),             // cut
    };
    for (const Bytes& b : cases) {
        std::uint32_t length = 7;
        EXPECT_EQ(ber_decode_length(b.data(), static_cast<std::uint32_t>(b.size()), &length), -1);
        EXPECT_EQ(length, 7u);
    }
}

TEST(BerRecord, Integers)
{
    struct Case {
        std::int32_t value;
        Bytes encoded;
    } cases[] = {
        {0, hex("02 01 00")},
        {127, hex("02 01 7F")},
        {128, hex("02 02 00 80")},
        {-1, hex("02 01 FF")},
        {-128, hex("02 01 80")},
        {-129, hex("02 02 FF 7F")},
        {256, hex("02 02 01 00")},
        {-32769, hex("02 03 FF 7F FF")},
        {2147483647, hex("02 04 7F FF FF FF")},
        {INT32_MIN, hex("02 04 80 00 00 00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        auto r = owned(XrBerRecord::create_int(c.value));
        EXPECT_EQ(bytes_of(r.get()), c.encoded);
        std::int32_t back = 0;
        EXPECT_EQ(r->get_int(back), XR_BER_OK);
        EXPECT_EQ(back, c.value);
        XrBerIntRecord ir(c.value);
        EXPECT_EQ(bytes_of(&ir), c.encoded);
        EXPECT_EQ(ir.get_value(), c.value);
    }
}

TEST(BerRecord, IntegerDecodingFailures)
{
    struct Case {
        Bytes encoded;
        int result;
    } cases[] = {
        {hex(""), XR_BER_MISSING},
        {hex("02"), XR_BER_DAMAGED},
        {hex("02 00"), XR_BER_DAMAGED},             // no content octet
        {hex("02 02 01"), XR_BER_DAMAGED},          // contents cut
        {hex("02 05 01 02 03 04 05"), XR_BER_UNSUPPORTED},
    };
    for (Case& c : cases) {
        XrBerRecord r = record_over(c.encoded);
        std::int32_t v = 42;
        EXPECT_EQ(r.get_int(v), c.result);
        EXPECT_EQ(v, 42);
    }
}

TEST(BerRecord, Booleans)
{
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_bool(true)).get()), hex("01 01 FF"));
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_bool(false)).get()), hex("01 01 00"));
    struct Case {
        Bytes encoded;
        int result;
        bool value;
    } cases[] = {
        {hex("01 01 FF"), XR_BER_OK, true},
        {hex("01 01 05"), XR_BER_OK, true},
        {hex("01 01 00"), XR_BER_OK, false},
        {hex(""), XR_BER_MISSING, false},
        {hex("01 00"), XR_BER_DAMAGED, false},
        {hex("01 02 FF"), XR_BER_DAMAGED, false},
    };
    for (Case& c : cases) {
        XrBerRecord r = record_over(c.encoded);
        bool v = false;
        EXPECT_EQ(r.get_bool(v), c.result);
        EXPECT_EQ(v, c.value);
    }
}

TEST(BerRecord, Strings)
{
    XrString text(L"A\u00E4\u0141");
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_utf8_string(text)).get()), hex("0C 05 41 C3 A4 C5 81"));
    // Octet strings from text keep the low 8 bits of each character.
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_octet_string(text)).get()), hex("04 03 41 E4 41"));
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_visible_string("3.5")).get()), hex("1A 03 33 2E 35"));
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_null()).get()), hex("05 00"));
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_sequence()).get()), hex("30 00"));
    // A character beyond 16 bits becomes the replacement character.
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_utf8_string(XrString(L"a\U0001F600"))).get()),
              hex("0C 04 61 EF BF BD"));

    auto r = owned(XrBerRecord::create_utf8_string(text));
    XrString back;
    EXPECT_EQ(r->get_utf8_string(back), XR_BER_OK);
    EXPECT_TRUE(back == text);

    Bytes empty = hex("0C 00");
    XrString none(L"x");
    EXPECT_EQ(record_over(empty).get_utf8_string(none), XR_BER_OK);
    EXPECT_TRUE(none.is_empty());

    Bytes bad = hex("0C 02 C3 41");
    XrString kept(L"kept");
    EXPECT_EQ(record_over(bad).get_utf8_string(kept), XR_BER_UNSUPPORTED);
    EXPECT_TRUE(kept == L"kept");
}

TEST(BerRecord, OctetStringsAndLongLengths)
{
    XrByteArray payload;
    for (int i = 0; i < 300; ++i)
        payload.append_byte(static_cast<BYTE>(i));
    auto r = owned(XrBerRecord::create_octet_string(payload));
    ASSERT_EQ(r->get_length(), 304u);
    EXPECT_EQ(Bytes(r->get_data(), r->get_data() + 4), hex("04 82 01 2C"));
    XrByteArray back;
    EXPECT_EQ(r->get_content(back), XR_BER_OK);
    EXPECT_EQ(bytes_of(back), bytes_of(payload));
}

TEST(BerRecord, DatetimeEncoding)
{
    XrDatetime t(1234567890);
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_datetime(t)).get()),
              concat({hex("18 0F"), text_bytes("20090213233130Z")}));
    // A local time is converted to UTC first.
    ZoneScope zone("XRT-2");
    XrDatetime local(0);
    local.set_local(1234567890 + 7200);
    EXPECT_EQ(bytes_of(owned(XrBerRecord::create_datetime(local)).get()),
              concat({hex("18 0F"), text_bytes("20090213233130Z")}));
}

TEST(BerRecord, DatetimeDecoding)
{
    struct Case {
        BYTE tag;
        const char* text;
        int result;
        std::uint32_t utc; // 32-bit seconds
    } cases[] = {
        {0x18, "20090213233130Z", XR_BER_OK, 1234567890u},
        {0x17, "991231235959Z", XR_BER_OK, 946684799u},
        {0x17, "450101000000Z", XR_BER_OK, 2366841600u},
        {0x17, "460101000000Z", XR_BER_OK, static_cast<std::uint32_t>(-757382400)},
        {0x17, "000229120000Z", XR_BER_OK, 951825600u},
        {0x18, "19700101000000Z", XR_BER_OK, 0},
        {0x18, "2009021323313Z", XR_BER_UNSUPPORTED, 0},  // 14 characters
        {0x18, "20091313233130Z", XR_BER_UNSUPPORTED, 0}, // month 13
        {0x18, "20090230233130Z", XR_BER_UNSUPPORTED, 0}, // 30 February
        {0x18, "2009021323x130Z", XR_BER_UNSUPPORTED, 0},
        {0x18, "22000101000000Z", XR_BER_UNSUPPORTED, 0}, // beyond 32-bit seconds
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Bytes b = concat({Bytes{c.tag, static_cast<BYTE>(std::strlen(c.text))}, text_bytes(c.text)});
        XrDatetime t(77);
        EXPECT_EQ(record_over(b).get_datetime(t), c.result);
        EXPECT_TRUE(t.is_utc());
        EXPECT_EQ(static_cast<std::uint32_t>(t.get_utc()), c.result == XR_BER_OK ? c.utc : 77u);
    }
}

TEST(BerRecord, AppendChild)
{
    auto seq = owned(XrBerRecord::create_sequence());
    XrBerRecord* child = XrBerRecord::create_int(7);
    XrBerRecord::append_child(seq.get(), child);
    EXPECT_EQ(child, nullptr);
    child = XrBerRecord::create_int(8);
    XrBerRecord::append_child(seq.get(), child);
    EXPECT_EQ(bytes_of(seq.get()), hex("30 06 02 01 07 02 01 08"));

    // Growing past 127 content bytes re-encodes the length in the long form.
    for (int i = 0; i < 50; ++i) {
        child = XrBerRecord::create_int(i);
        XrBerRecord::append_child(seq.get(), child);
    }
    ASSERT_EQ(seq->get_length(), 3u + 6 + 150);
    EXPECT_EQ(Bytes(seq->get_data(), seq->get_data() + 6), hex("30 81 9C 02 01 07"));
    int count = 0;
    XrBerRecord* item = nullptr;
    while (seq->read_next(&item) == XR_BER_OK) {
        ++count;
        delete item;
    }
    EXPECT_EQ(count, 52);
}

TEST(BerRecord, SetTag)
{
    auto r = owned(XrBerRecord::create_sequence());
    XrBerRecord::set_tag(r.get(), XR_BER_SET, XR_BER_UNIVERSAL, true);
    EXPECT_EQ(bytes_of(r.get()), hex("31 00"));

    auto i = owned(XrBerRecord::create_int(5));
    XrBerRecord::set_tag(i.get(), 200, XR_BER_CONTEXT, false);
    EXPECT_EQ(bytes_of(i.get()), hex("9F 81 48 01 05"));
    XrBerRecord::set_tag(i.get(), 2, XR_BER_UNIVERSAL, false);
    EXPECT_EQ(bytes_of(i.get()), hex("02 01 05"));
    std::int32_t v = 0;
    EXPECT_EQ(i->get_int(v), XR_BER_OK);
    EXPECT_EQ(v, 5);
}

TEST(BerRecord, ReadNextAndFind)
{
    // SEQUENCE { INTEGER 1, [0] 05, INTEGER 2, SET {}, INTEGER 3 }
    Bytes b = hex("30 0E 02 01 01 80 01 05 02 01 02 31 00 02 01 03");
    XrBerRecord r = record_over(b);
    XrBerRecord* item = nullptr;
    ASSERT_EQ(r.find(XR_BER_INTEGER, &item, 1, XR_BER_UNIVERSAL, 0), XR_BER_OK);
    std::int32_t v = 0;
    item->get_int(v);
    EXPECT_EQ(v, 2);
    EXPECT_FALSE(item->owns_data());
    delete item;
    // The position is behind the child found: the next INTEGER is 3.
    ASSERT_EQ(r.find(XR_BER_INTEGER, &item, 0), XR_BER_OK);
    item->get_int(v);
    EXPECT_EQ(v, 3);
    delete item;
    EXPECT_EQ(r.read_next(&item), XR_BER_MISSING);

    struct Case {
        std::uint32_t tag;
        int index;
        int cls;
        int constructed;
        int result;
    } cases[] = {
        {0, 0, XR_BER_CONTEXT, 0, XR_BER_OK},
        {0, 0, XR_BER_UNIVERSAL, XR_BER_ANY_FORM, XR_BER_MISSING},
        {XR_BER_SET, 0, XR_BER_ANY_CLASS, 1, XR_BER_OK},
        {XR_BER_SET, 0, XR_BER_ANY_CLASS, 0, XR_BER_MISSING},
        {XR_BER_INTEGER, 2, XR_BER_ANY_CLASS, XR_BER_ANY_FORM, XR_BER_OK},
        {XR_BER_INTEGER, 3, XR_BER_ANY_CLASS, XR_BER_ANY_FORM, XR_BER_MISSING},
    };
    for (const Case& c : cases) {
        r.rewind();
        item = nullptr;
        EXPECT_EQ(r.find(c.tag, &item, c.index, c.cls, c.constructed), c.result);
        EXPECT_EQ(item != nullptr, c.result == XR_BER_OK);
        delete item;
    }
}

TEST(BerRecord, ChildrenMustFitTheirParent)
{
    struct Case {
        const char* what;
        Bytes encoded;
        int ok_children;
    } cases[] = {
        {"child runs past the parent", hex("30 03 04 05 41 42 43 44 45"), 0},
        {"second child runs past", hex("30 05 02 01 01 04 02 41"), 1},
        {"indefinite length", hex("30 04 30 80 00 00"), 0},
        {"cut length octets", hex("30 02 04 82"), 0},
        {"cut high tag", hex("30 02 1F 81"), 0},
        {"parent shorter than its length", hex("30 09 02 01 01"), -1},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrBerRecord r = record_over(c.encoded);
        XrBerRecord* item = nullptr;
        int n = 0;
        int result;
        while ((result = r.read_next(&item)) == XR_BER_OK) {
            ++n;
            delete item;
        }
        EXPECT_EQ(result, XR_BER_DAMAGED);
        EXPECT_EQ(n, c.ok_children < 0 ? 0 : c.ok_children);
        r.rewind();
        EXPECT_EQ(r.find(XR_BER_OCTET_STRING, &item, 0), XR_BER_DAMAGED);
    }
}
