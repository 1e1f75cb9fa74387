#include "common/ber/xr_propertybag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "common/ber/xr_berrecord.h"
#include "common/storage/xr_storageaccessor.h"
#include "tests/common/ber/ber_test_util.h"

namespace {

Bytes encoded(const XrPropertyBag& bag)
{
    XrByteArray out;
    EXPECT_EQ(bag.encode(out), XrPropertyBag::OK);
    return bytes_of(out);
}

int decode(XrPropertyBag& bag, Bytes b)
{
    XrMemoryStorageAccessor a(true, b.data(), static_cast<std::uint32_t>(b.size()), false);
    return bag.decode(&a);
}

// A SET of n nested SETs, the innermost holding key 1 = INTEGER 1.
Bytes nested_sets(int n)
{
    Bytes inner = hex("31 06 02 01 01 02 01 01");
    for (int i = 0; i < n; ++i) {
        XrByteArray contents;
        contents.append_byte(0x02);
        contents.append_byte(0x01);
        contents.append_byte(0x02);
        contents.append(inner.data(), static_cast<int>(inner.size()));
        XrByteArray out;
        ber_append_item(out, XR_BER_UNIVERSAL, true, XR_BER_SET, contents.get_items(),
                        static_cast<std::uint32_t>(contents.get_num_items()));
        inner = bytes_of(out);
    }
    return inner;
}

} // namespace

TEST(XrPropertyBag, EncodingExamples)
{
    XrPropertyBag one;
    one.add_int(5, 7);
    EXPECT_EQ(encoded(one), hex("31 06 02 01 05 02 01 07"));

    XrPropertyBag two;
    two.add_int(5, 7);
    two.add_int(5, 8);
    EXPECT_EQ(encoded(two), hex("31 0B 02 01 05 30 06 02 01 07 02 01 08"));

    XrPropertyBag empty;
    EXPECT_EQ(encoded(empty), hex("31 00"));
    XrPropertyBag back;
    back.add_int(1, 1);
    EXPECT_EQ(decode(back, hex("31 00")), XrPropertyBag::OK);
    EXPECT_EQ(back.get_value_count(1), 0);

    // to_ber gives the same bytes as encode.
    std::unique_ptr<XrBerRecord> r(two.to_ber());
    EXPECT_EQ(bytes_of(r.get()), hex("31 0B 02 01 05 30 06 02 01 07 02 01 08"));
}

TEST(XrPropertyBag, ValueEncodings)
{
    XrDatetime t(1234567890);
    XrByteArray* blob = new XrByteArray();
    blob->append("AB");
    struct Case {
        std::unique_ptr<XrPropertyBagValue> value;
        Bytes item;
    } cases[] = {
        {std::make_unique<XrPropertyBagValueBool>(true), hex("01 01 FF")},
        {std::make_unique<XrPropertyBagValueInt>(-129), hex("02 02 FF 7F")},
        {std::make_unique<XrPropertyBagValueDouble>(3.5), concat({hex("1A 08"), text_bytes("3.500000")})},
        {std::make_unique<XrPropertyBagValueDouble>(-0.25), concat({hex("1A 09"), text_bytes("-0.250000")})},
        {std::make_unique<XrPropertyBagValueString>(XrString(L"\u00E4")), hex("0C 02 C3 A4")},
        {std::make_unique<XrPropertyBagValueDatetime>(t), concat({hex("18 0F"), text_bytes("20090213233130Z")})},
        {std::make_unique<XrPropertyBagValueBlob>(blob), hex("04 02 41 42")},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.value->get_type());
        std::unique_ptr<XrBerRecord> r(c.value->to_ber());
        EXPECT_EQ(bytes_of(r.get()), c.item);
    }
}

TEST(XrPropertyBag, DoublesThatSixDecimalsWouldCut)
{
    // "%f" where it is exact, else the shortest text that reads back exactly.
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {3.5, "3.500000"},
        {0.0, "0.000000"},
        {123456.125, "123456.125000"},
        {0.1, "0.100000"},
        {0.1234567, "0.1234567"},
        {1.0 / 3, "0.3333333333333333"},
        {1e300, "1e+300"},
        {-2.5e-10, "-2.5e-10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char text[32];
        XrPropertyBagValueDouble::format(c.value, text);
        EXPECT_STREQ(text, c.text);
        double back = -1;
        EXPECT_TRUE(XrPropertyBagValueDouble::parse(reinterpret_cast<const BYTE*>(text), std::strlen(text), back));
        EXPECT_EQ(back, c.value);
    }
}

TEST(XrPropertyBag, RoundTripOfEveryType)
{
    XrPropertyBag bag;
    bag.add_bool(1, true);
    bag.add_bool(1, false);
    bag.add_int(2, INT32_MIN);
    bag.add_int(2, INT32_MAX);
    bag.add_int(-7, 0);
    bag.add_double(3, 3.5);
    bag.add_double(3, 0.1);
    bag.add_double(3, -1e300);
    bag.add_double(3, std::numeric_limits<double>::infinity());
    bag.add_string(4, XrString(L"Kestrova \u00E4\u20AC"));
    bag.add_string(4, XrString());
    XrDatetime t(1234567890);
    bag.add_datetime(5, t);
    XrByteArray* blob = new XrByteArray();
    for (int i = 0; i < 300; ++i)
        blob->append_byte(static_cast<BYTE>(i * 7));
    bag.add_blob(6, blob);
    bag.add_blob(6, new XrByteArray());
    XrPropertyBag* nested = new XrPropertyBag();
    nested->add_string(1, XrString(L"inner"));
    nested->add_double(2, 2.75);
    bag.add_bag(7, nested);

    XrPropertyBag back;
    ASSERT_EQ(decode(back, encoded(bag)), XrPropertyBag::OK);

    bool b;
    ASSERT_EQ(back.get_value_count(1), 2);
    EXPECT_EQ(back.get_bool(1, 0, b), 0);
    EXPECT_TRUE(b);
    EXPECT_EQ(back.get_bool(1, 1, b), 0);
    EXPECT_FALSE(b);
    std::int32_t i;
    EXPECT_EQ(back.get_int(2, 0, i), 0);
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_EQ(back.get_int(2, 1, i), 0);
    EXPECT_EQ(i, INT32_MAX);
    EXPECT_EQ(back.get_int(-7, 0, i), 0);
    EXPECT_EQ(i, 0);
    const double doubles[] = {3.5, 0.1, -1e300, std::numeric_limits<double>::infinity()};
    ASSERT_EQ(back.get_value_count(3), 4);
    for (int k = 0; k < 4; ++k) {
        double d;
        EXPECT_EQ(back.get_double(3, k, d), 0);
        EXPECT_EQ(d, doubles[k]);
    }
    XrString s;
    EXPECT_EQ(back.get_string(4, 0, s), 0);
    EXPECT_TRUE(s == L"Kestrova \u00E4\u20AC");
    EXPECT_EQ(back.get_string(4, 1, s), 0);
    EXPECT_TRUE(s.is_empty());
    XrDatetime dt(0);
    EXPECT_EQ(back.get_datetime(5, 0, dt), 0);
    EXPECT_EQ(dt.get_utc(), 1234567890);
    XrByteArray* got = nullptr;
    EXPECT_EQ(back.get_blob(6, 0, got), 0);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(bytes_of(*got), bytes_of(*blob));
    delete got;
    got = nullptr;
    EXPECT_EQ(back.get_blob(6, 1, got), 0);
    EXPECT_EQ(got->get_num_items(), 0);
    delete got;
    XrPropertyBag* inner = nullptr;
    ASSERT_EQ(back.get_bag(7, 0, inner), 0);
    EXPECT_EQ(inner->get_string(1, 0, s), 0);
    EXPECT_TRUE(s == L"inner");
    double d;
    EXPECT_EQ(inner->get_double(2, 0, d), 0);
    EXPECT_EQ(d, 2.75);

    // Encoding the decoded bag again gives a bag of the same size.
    EXPECT_EQ(encoded(back).size(), encoded(bag).size());
}

TEST(XrPropertyBag, ReadResults)
{
    XrPropertyBag bag;
    bag.add_int(1, 42);
    std::int32_t i = 0;
    XrString s;
    EXPECT_EQ(bag.get_int(1, 1, i), XrPropertyBag::NOT_FOUND);
    EXPECT_EQ(bag.get_int(2, 0, i), XrPropertyBag::NOT_FOUND);
    EXPECT_EQ(bag.get_int(1, -1, i), XrPropertyBag::NOT_FOUND);
    EXPECT_EQ(bag.get_string(1, 0, s), XrPropertyBag::WRONG_TYPE);
    EXPECT_EQ(bag.add_value(1, nullptr), XrPropertyBag::NULL_VALUE);
    EXPECT_EQ(bag.add_blob(1, nullptr), XrPropertyBag::NULL_VALUE);
    EXPECT_EQ(bag.decode(nullptr), XrPropertyBag::NULL_INPUT);
    EXPECT_EQ(bag.get_value_count(1), 1);
    EXPECT_EQ(bag.get_value_count(99), 0);

    // remove takes the value out.
    EXPECT_EQ(bag.get_int(1, 0, i, true), 0);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(bag.get_value_count(1), 0);
    EXPECT_EQ(encoded(bag), hex("31 00"));
}

TEST(XrPropertyBag, BlobsAndBagsHandedOut)
{
    XrPropertyBag bag;
    XrByteArray* stored = new XrByteArray();
    stored->append("xyz");
    bag.add_blob(1, stored);
    XrPropertyBag* nested = new XrPropertyBag();
    nested->add_int(1, 1);
    bag.add_bag(2, nested);

    // A copy into the caller's array.
    XrByteArray mine;
    mine.append("old");
    XrByteArray* out = &mine;
    EXPECT_EQ(bag.get_blob(1, 0, out), 0);
    EXPECT_EQ(bytes_of(mine), text_bytes("xyz"));
    EXPECT_EQ(bag.get_value_count(1), 1);

    // With remove and no array of its own, the caller gets the stored one.
    XrByteArray* handed = nullptr;
    EXPECT_EQ(bag.get_blob(1, 0, handed, true), 0);
    EXPECT_EQ(handed, stored);
    EXPECT_EQ(bag.get_value_count(1), 0);
    delete handed;

    XrPropertyBag* b = nullptr;
    EXPECT_EQ(bag.get_bag(2, 0, b), 0);
    EXPECT_EQ(b, nested);
    EXPECT_EQ(bag.get_bag(2, 0, b, true), 0);
    EXPECT_EQ(bag.get_value_count(2), 0);
    delete b;
    EXPECT_EQ(bag.add_bag(3, &bag), XrPropertyBag::NOT_STORED);
}

TEST(XrPropertyBag, Decoding)
{
    struct Case {
        const char* what;
        Bytes input;
        int result;
        std::vector<std::pair<int, std::int32_t>> ints; // key, value in order
        int nested_bags_at_9;
    } cases[] = {
        {"SEQUENCE at the top", hex("30 06 02 01 05 02 01 07"), 0, {{5, 7}}, 0},
        {"not a SET", hex("04 02 02 01"), -9, {}, 0},
        {"nothing", hex(""), -9, {}, 0},
        {"cut item", hex("31 06 02 01 05 02"), -9, {}, 0},
        {"key without value", hex("31 09 02 01 05 02 01 07 02 01 06"), -9, {{5, 7}}, 0},
        {"undecodable value at the top keeps what came before",
         hex("31 0E 02 01 05 02 01 07 02 01 06 05 00 02 01 01"), -9, {{5, 7}}, 0},
        {"VisibleString that is no number", hex("31 06 02 01 05 1A 01 78"), -9, {}, 0},
        {"undecodable values leave their nested bags out",
         hex("31 12 02 01 09 31 05 02 01 01 05 00 02 01 09 31 03 02 01 05"), 0, {}, 0},
        {"nested bag left out, decoding goes on",
         hex("31 16 02 01 09 31 06 02 01 01 1A 01 78 02 01 05 02 01 07 02 01 09 31 00"), 0, {{5, 7}}, 1},
        {"undecodable value ends its SEQUENCE",
         hex("31 13 02 01 05 30 08 02 01 01 05 00 02 01 02 02 01 06 02 01 03"), 0, {{5, 1}, {6, 3}}, 0},
        {"first child that is no INTEGER keeps the key",
         hex("31 0B 02 01 05 02 01 01 04 00 02 01 02"), 0, {{5, 1}, {5, 2}}, 0},
        {"damaged child length", hex("31 05 02 01 05 02 05"), -9, {}, 0},
        {"context class value", hex("31 06 02 01 05 82 01 07"), -9, {}, 0},
        {"INTEGER key of five octets", hex("31 0A 02 05 01 02 03 04 05 02 01 07"), -9, {}, 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrPropertyBag bag;
        bag.add_int(77, 1); // emptied by decode
        EXPECT_EQ(decode(bag, c.input), c.result);
        EXPECT_EQ(bag.get_value_count(77), 0);
        std::vector<std::pair<int, std::int32_t>> got;
        for (int key : {5, 6}) {
            for (int k = 0; k < bag.get_value_count(key); ++k) {
                std::int32_t v;
                if (bag.get_int(key, k, v) == 0)
                    got.emplace_back(key, v);
            }
        }
        EXPECT_EQ(got, c.ints);
        EXPECT_EQ(bag.get_value_count(9), c.nested_bags_at_9);
    }
}

TEST(XrPropertyBag, DecodingOtherItems)
{
    // UTCTime, long lengths, a nested bag in a SEQUENCE, a double written by
    // another party without trailing zeros.
    Bytes blob(200, 0x5A);
    Bytes input = concat({hex("31 81 F4"), hex("02 01 01 17 0D"), text_bytes("991231235959Z"), hex("02 01 02 04 81 C8"),
                          blob, hex("02 01 03 30 07 31 00 31 03 02 01 04"), hex("02 01 04 1A 03"), text_bytes("1.5")});
    ASSERT_EQ(input.size(), 3u + 0xF4);
    XrPropertyBag bag;
    ASSERT_EQ(decode(bag, input), 0);
    XrDatetime t(0);
    EXPECT_EQ(bag.get_datetime(1, 0, t), 0);
    EXPECT_EQ(t.get_utc(), 946684799);
    XrByteArray* b = nullptr;
    EXPECT_EQ(bag.get_blob(2, 0, b), 0);
    EXPECT_EQ(bytes_of(*b), blob);
    delete b;
    // The nested bag that holds an incomplete pair is left out; the empty one stays.
    EXPECT_EQ(bag.get_value_count(3), 1);
    double d;
    EXPECT_EQ(bag.get_double(4, 0, d), 0);
    EXPECT_EQ(d, 1.5);
}

TEST(XrPropertyBag, NestingDepthIsLimited)
{
    XrPropertyBag bag;
    EXPECT_EQ(decode(bag, nested_sets(XrPropertyBag::max_decode_depth)), 0);
    XrPropertyBag* inner = &bag;
    for (int i = 0; i < XrPropertyBag::max_decode_depth; ++i)
        ASSERT_EQ(inner->get_bag(2, 0, inner), 0);
    std::int32_t v;
    EXPECT_EQ(inner->get_int(1, 0, v), 0);

    EXPECT_EQ(decode(bag, nested_sets(XrPropertyBag::max_decode_depth + 1)), XrPropertyBag::NOT_DECODABLE);
    // Deep enough to overflow the stack if the decoder simply recursed.
    EXPECT_EQ(decode(bag, nested_sets(3000)), XrPropertyBag::NOT_DECODABLE);

    // SEQUENCEs nest too.
    Bytes seqs = hex("02 01 07");
    for (int i = 0; i < 100; ++i) {
        XrByteArray out;
        ber_append_item(out, XR_BER_UNIVERSAL, true, XR_BER_SEQUENCE, seqs.data(), static_cast<std::uint32_t>(seqs.size()));
        seqs = bytes_of(out);
    }
    XrByteArray top;
    Bytes contents = concat({hex("02 01 01"), seqs});
    ber_append_item(top, XR_BER_UNIVERSAL, true, XR_BER_SET, contents.data(), static_cast<std::uint32_t>(contents.size()));
    EXPECT_EQ(decode(bag, bytes_of(top)), XrPropertyBag::NOT_DECODABLE);
}

TEST(XrPropertyBag, EncodedSizeEstimate)
{
    XrPropertyBag bag;
    bag.add_bool(1, true);                  // 1
    bag.add_int(2, 5);                      // 4
    bag.add_double(3, 1.0);                 // 10
    bag.add_string(4, XrString(L"abc"));    // 12
    bag.add_datetime(5, XrDatetime(0));     // 15
    XrByteArray* blob = new XrByteArray();
    blob->append("12345");
    bag.add_blob(6, blob);                  // 5
    XrPropertyBag* nested = new XrPropertyBag();
    nested->add_int(1, 1);                  // 4 + 9
    bag.add_bag(7, nested);                 // 13
    EXPECT_EQ(bag.get_encoded_size(), 1 + 4 + 10 + 12 + 15 + 5 + 13 + 7 * 9u);
}
