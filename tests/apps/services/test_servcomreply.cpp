// Decoding of ServCom reply bodies and the evaluation of reply bags.
#include "apps/services/servcom_test_bags.h"
#include "apps/services/xr_servcomreply.h"
#include "common/misc/xr_msgids.h"
#include "support/xr_english_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

class ServComReplyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(texts.bound); }
    EnglishTexts texts;
};

} // namespace

TEST_F(ServComReplyTest, EvaluatesReplyBags)
{
    const std::string internal = narrow(XrString(static_cast<int>(R_STR_INTERNAL_COMMUNICATION_ERROR)));
    ASSERT_EQ(internal, "Internal communication error");
    struct Case {
        const char* name;
        ReplyFields fields;
        int status;
        std::string title;
        std::string details;
    };
    const Case cases[] = {
        {"success with payload", {}, 0, "", ""},
        {"success without payload", {true, true, false}, 4, internal, internal + ": 0"},
        {"no success flag", {false, true, true}, 4, internal, internal + ": 1"},
        {"failure without texts", {true, false, false}, 4, internal, internal + ": 3"},
        {"failure with message only", {true, false, false, "boom"}, 4, internal, internal + ": 2:boom"},
        {"failure without details", {true, false, false, "boom", "Title"}, 4, "Title", "boom"},
        {"failure with all texts", {true, false, false, "boom", "Title", "Details"}, 5, "Title", "Details"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<XrPropertyBag> bag(make_reply_bag(c.fields));
        XrServComReply r = servcom_evaluate_reply(bag.get());
        std::unique_ptr<XrPropertyBag> payload(r.payload);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(narrow(r.title), c.title) << c.name;
        EXPECT_EQ(narrow(r.details), c.details) << c.name;
        EXPECT_EQ(r.service_id, 7) << c.name;
        EXPECT_EQ(r.value_a, 8) << c.name;
        EXPECT_EQ(r.value_b, 9) << c.name;
        EXPECT_EQ(payload != nullptr, c.status == 0) << c.name;
        if (payload) {
            std::int32_t v = 0;
            EXPECT_EQ(payload->get_int(1, 0, v), 0);
            EXPECT_EQ(v, 42);
            EXPECT_EQ(bag->get_value_count(4), 0) << "the payload is taken out of the reply";
        }
    }
}

TEST_F(ServComReplyTest, MissingBagAndWrongKinds)
{
    const std::string internal = narrow(XrString(static_cast<int>(R_STR_INTERNAL_COMMUNICATION_ERROR)));
    XrServComReply none = servcom_evaluate_reply(nullptr);
    EXPECT_EQ(none.status, 4);
    EXPECT_EQ(narrow(none.details), internal + ": 0");

    XrPropertyBag bag; // success as an integer, no echoed values
    bag.add_int(5, 1);
    XrServComReply r = servcom_evaluate_reply(&bag);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(narrow(r.details), internal + ": 1");
    EXPECT_EQ(r.service_id, 0);
    EXPECT_EQ(r.value_a, 0);
    EXPECT_EQ(r.value_b, 0);
}

TEST_F(ServComReplyTest, DecodesBodies)
{
    std::vector<std::uint8_t> good = reply_body({});
    std::unique_ptr<XrPropertyBag> bag(servcom_decode_reply(good.data(), static_cast<int>(good.size())));
    ASSERT_NE(bag, nullptr);
    bool success = false;
    EXPECT_EQ(bag->get_bool(5, 0, success), 0);
    EXPECT_TRUE(success);

    XrPropertyBag* reply = make_reply_bag({});
    std::vector<std::uint8_t> encoding = bag_encoding(*reply);
    delete reply;
    const int n = static_cast<int>(encoding.size());
    struct Case {
        const char* name;
        std::vector<std::uint8_t> body;
    };
    std::vector<std::uint8_t> cut = good;
    cut.resize(cut.size() - 5);
    std::vector<std::uint8_t> flipped = good;
    flipped[flipped.size() / 2] ^= 0x5A;
    const Case bad[] = {
        {"empty", {}},
        {"one byte", {0x02}},
        {"length item only", {0x02, 0x01, 0x10}},
        {"cut stream", cut},
        {"damaged stream", flipped},
        {"zero length", servcom_reply_body(encoding, 0)},
        {"negative length", servcom_reply_body(encoding, -5)},
        {"length far beyond the stream", servcom_reply_body(encoding, 0x7FFFFFFF)},
        {"length too small", servcom_reply_body(encoding, n - 20)},
        {"not a bag", servcom_reply_body({0x04, 0x02, 'h', 'i'})},
        {"constructed length item", {0x30, 0x03, 0x02, 0x01, 0x05}},
    };
    for (const Case& c : bad) {
        std::unique_ptr<XrPropertyBag> b(servcom_decode_reply(c.body.data(), static_cast<int>(c.body.size())));
        EXPECT_EQ(b, nullptr) << c.name;
    }
}

TEST_F(ServComReplyTest, DecodesBodiesThatArriveInPieces)
{
    // A reply with 300 KB of noise, fed in pieces of every kind of size; the
    // decoder holds the uncompressed reply only, never the compressed body.
    XrPropertyBag* reply = make_reply_bag({});
    XrByteArray* noise = new XrByteArray(300000, 0);
    std::uint32_t x = 777;
    for (int i = 0; i < 300000; ++i) {
        x = x * 1103515245u + 12345u;
        noise->append_byte(static_cast<BYTE>(x >> 23));
    }
    reply->add_blob(10, noise);
    const std::vector<std::uint8_t> encoding = bag_encoding(*reply);
    delete reply;
    std::vector<std::uint8_t> body = servcom_reply_body(encoding);
    // What follows the stream is counted, not kept.
    body.resize(body.size() + 2000000, 0xEE);
    for (size_t piece : {size_t(1), size_t(3), size_t(4096), size_t(65537), body.size()}) {
        XrServComReplyDecoder decoder;
        std::int64_t most_held = 0;
        size_t step = piece;
        for (size_t at = 0; at < body.size();) {
            const size_t n = std::min(step, body.size() - at);
            decoder.write(body.data() + at, static_cast<int>(n));
            most_held = std::max(most_held, decoder.get_held_bytes());
            at += n;
            if (at > 70000)
                step = std::max(step, size_t(65536)); // the first blocks piece by piece, the rest faster
        }
        EXPECT_EQ(decoder.get_body_length(), static_cast<std::int64_t>(body.size())) << piece;
        EXPECT_LE(most_held, static_cast<std::int64_t>(encoding.size()) + 16) << piece;
        std::unique_ptr<XrPropertyBag> bag(decoder.finish());
        ASSERT_NE(bag, nullptr) << piece;
        XrByteArray* blob = nullptr;
        ASSERT_EQ(bag->get_blob(10, 0, blob), 0) << piece;
        std::unique_ptr<XrByteArray> owned(blob);
        EXPECT_EQ(blob->get_num_items(), 300000) << piece;
    }
}

TEST_F(ServComReplyTest, DecoderHoldsNoMoreThanTheStreamGives)
{
    // A small stream that announces the largest length allowed: memory
    // follows what the stream produces, not what it announces.
    const std::vector<std::uint8_t> zeros(1000000, 0);
    std::vector<std::uint8_t> body = servcom_reply_body(zeros, servcom_max_reply_length);
    XrServComReplyDecoder decoder;
    decoder.write(body.data(), static_cast<int>(body.size()));
    EXPECT_LE(decoder.get_held_bytes(), 2 * 1000000 + 16);
    std::unique_ptr<XrPropertyBag> bag(decoder.finish());
    EXPECT_EQ(bag, nullptr); // zeros are no bag

    // Nothing is taken after finish.
    decoder.write(body.data(), static_cast<int>(body.size()));
    EXPECT_EQ(decoder.finish(), nullptr);
}

TEST_F(ServComReplyTest, ErrorTexts)
{
    EXPECT_EQ(narrow(servcom_error_text(1)), "No Internet access point is defined.");
    EXPECT_EQ(narrow(servcom_error_text(18)), "Network error.");
    EXPECT_EQ(narrow(servcom_error_text(20)), "The device is in offline mode.");
    EXPECT_TRUE(servcom_error_text(0).is_empty());
    EXPECT_TRUE(servcom_error_text(21).is_empty());
}
