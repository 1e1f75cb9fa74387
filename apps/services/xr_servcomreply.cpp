#include "apps/services/xr_servcomreply.h"

#include "apps/services/xr_servcomlayout.h"
#include "common/ber/xr_berrecord.h"
#include "common/ber/xr_propertybag.h"
#include "common/container/xr_bytearray.h"
#include "common/misc/xr_msgids.h"
#include "common/storage/xr_storageaccessor.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace L = xr_servcom_layout;

namespace {

// The deflate format expands at most about 1032 times.
constexpr long long max_expansion = 1032;

// The internal-communication-error texts with the reason number.
void set_internal_error(XrServComReply& out, const char* reason)
{
    out.title = XrString(static_cast<int>(R_STR_INTERNAL_COMMUNICATION_ERROR));
    out.details = out.title + ": " + reason;
}

} // namespace

struct XrServComReplyDecoder::Inflater {
    z_stream zs{};
    bool open = false;
};

XrServComReplyDecoder::XrServComReplyDecoder() : plain(new XrByteArray(0, 0)) {}

XrServComReplyDecoder::~XrServComReplyDecoder()
{
    if (inflater != nullptr && inflater->open)
        inflateEnd(&inflater->zs);
    delete inflater;
}

std::int64_t XrServComReplyDecoder::get_held_bytes() const
{
    return (plain ? static_cast<std::int64_t>(plain->get_capacity()) : 0) + head_length;
}

void XrServComReplyDecoder::fail()
{
    phase = FAILED;
    plain.reset();
}

void XrServComReplyDecoder::write(const BYTE* bytes, int length)
{
    if (bytes == nullptr || length <= 0)
        return;
    body_length += length;
    if (phase == HEAD)
        take_head(bytes, length);
    if (phase == INFLATE && length > 0)
        inflate_some(bytes, length);
}

void XrServComReplyDecoder::take_head(const BYTE*& bytes, int& length)
{
    // Copy what the head buffer takes, and decode once the item is whole.
    const int copied = std::min(length, static_cast<int>(sizeof head) - head_length);
    std::memcpy(head + head_length, bytes, static_cast<size_t>(copied));
    head_length += copied;
    XrBerHeader header;
    if (head_length < 2 || !ber_decode_header(head, static_cast<std::uint32_t>(head_length), header)) {
        if (head_length == static_cast<int>(sizeof head))
            fail();
        bytes += copied;
        length -= copied;
        return;
    }
    if (header.constructed || header.content_length < L::MIN_LENGTH_OCTETS ||
        header.content_length > L::MAX_LENGTH_OCTETS) {
        fail();
        return;
    }
    announced = ber_decode_int_content(head + header.header_length, header.content_length);
    head_used = static_cast<int>(header.header_length + header.content_length);
    if (announced <= 0 || announced > servcom_max_reply_length) {
        fail();
        return;
    }
    inflater = new (std::nothrow) Inflater();
    if (inflater == nullptr || inflateInit(&inflater->zs) != Z_OK) {
        fail();
        return;
    }
    inflater->open = true;
    phase = INFLATE;
    // The bytes of the head buffer after the item come first, then the rest.
    const int over = head_length - head_used;
    head_length = head_used;
    if (over > 0)
        inflate_some(head + head_used, over);
    bytes += copied;
    length -= copied;
}

void XrServComReplyDecoder::inflate_some(const BYTE* bytes, int length)
{
    z_stream& zs = inflater->zs;
    zs.next_in = const_cast<BYTE*>(bytes);
    zs.avail_in = static_cast<uInt>(length);
    while (phase == INFLATE && zs.avail_in > 0) {
        BYTE beyond[1];
        if (produced == announced) {
            // Full: the stream must end without one more byte.
            zs.next_out = beyond;
            zs.avail_out = 1;
        } else {
            if (produced == plain->get_num_items()) {
                // Grow by doubling, from 64 KiB up to the announced length.
                const std::int64_t want = std::min<std::int64_t>(
                    announced, std::max<std::int64_t>(0x10000, 2 * static_cast<std::int64_t>(produced)));
                if (!plain->grow_to(static_cast<int>(want))) {
                    fail();
                    return;
                }
            }
            zs.next_out = plain->get_items() + produced;
            zs.avail_out = static_cast<uInt>(plain->get_num_items() - produced);
        }
        const uInt room = zs.avail_out;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const int made = static_cast<int>(room - zs.avail_out);
        if (produced == announced && made > 0) {
            fail();
            return;
        }
        produced += made;
        if (rc == Z_STREAM_END) {
            phase = ENDED;
        } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_in == 0)) {
            fail();
        }
    }
}

XrPropertyBag* XrServComReplyDecoder::finish()
{
    const Phase was = phase;
    const std::int64_t rest = body_length - head_used;
    phase = FAILED;
    if (was != ENDED || !plain || produced <= 0 || announced > rest * max_expansion + 64)
        return nullptr;
    if (!plain->remove_range(produced, plain->get_num_items() - produced))
        return nullptr;
    XrByteArrayAccessor accessor;
    accessor.attach(plain.get());
    auto bag = std::make_unique<XrPropertyBag>();
    const bool decoded = bag->decode(&accessor) == XrPropertyBag::OK;
    return decoded ? bag.release() : nullptr;
}

XrPropertyBag* servcom_decode_reply(const BYTE* body, int length)
{
    XrServComReplyDecoder decoder;
    decoder.write(body, length);
    return decoder.finish();
}

XrServComReply servcom_evaluate_reply(XrPropertyBag* reply)
{
    XrServComReply out;
    if (reply == nullptr) {
        set_internal_error(out, "0");
        return out;
    }
    std::int32_t v = 0;
    if (reply->get_int(L::KEY_SERVICE_ID, 0, v) == XrPropertyBag::OK)
        out.service_id = v;
    if (reply->get_int(L::KEY_VALUE_A, 0, v) == XrPropertyBag::OK)
        out.value_a = v;
    if (reply->get_int(L::KEY_VALUE_B, 0, v) == XrPropertyBag::OK)
        out.value_b = v;

    bool success = false;
    if (reply->get_bool(L::KEY_SUCCESS, 0, success) != XrPropertyBag::OK) {
        set_internal_error(out, "1");
        return out;
    }
    if (success) {
        XrPropertyBag* payload = nullptr;
        if (reply->get_bag(L::KEY_PAYLOAD, 0, payload, true) == XrPropertyBag::OK && payload != nullptr) {
            out.status = 0;
            out.payload = payload;
        } else {
            set_internal_error(out, "0");
        }
        return out;
    }
    XrString message, title, details;
    if (reply->get_string(L::KEY_MESSAGE, 0, message) != XrPropertyBag::OK) {
        set_internal_error(out, "3");
    } else if (reply->get_string(L::KEY_TITLE, 0, title) != XrPropertyBag::OK) {
        set_internal_error(out, "2");
        out.details += ":";
        out.details += message;
    } else if (reply->get_string(L::KEY_DETAILS, 0, details) != XrPropertyBag::OK) {
        out.title = title;
        out.details = message;
    } else {
        out.status = 5;
        out.title = title;
        out.details = details;
    }
    return out;
}

XrString servcom_error_text(int code)
{
    if (code < 1 || code > 20)
        return XrString();
    return XrString(static_cast<int>(R_STR_NO_IAP_DEFINED) + code - 1);
}
