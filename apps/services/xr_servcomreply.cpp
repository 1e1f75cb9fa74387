#include "apps/services/xr_servcomreply.h"

#include "apps/services/xr_servcomlayout.h"
#include "common/ber/xr_berrecord.h"
#include "common/ber/xr_propertybag.h"
#include "common/container/xr_bytearray.h"
#include "common/misc/xr_msgids.h"
#include "common/storage/xr_storageaccessor.h"

#include <memory>
#include <new>

namespace L = xr_servcom_layout;

namespace {

// The deflate format expands at most about 1032 times.
constexpr long long max_expansion = 1032;

// The value of the leading primitive item of 1 to 4 content octets and the
// bytes it takes; false when there is none.
bool read_leading_int(const BYTE* body, int length, std::int32_t& value, int& used)
{
    XrBerHeader header;
    if (body == nullptr || length < 2 || !ber_decode_header(body, static_cast<std::uint32_t>(length), header) ||
        header.constructed || header.content_length < L::MIN_LENGTH_OCTETS ||
        header.content_length > L::MAX_LENGTH_OCTETS)
        return false;
    value = ber_decode_int_content(body + header.header_length, header.content_length);
    used = static_cast<int>(header.header_length + header.content_length);
    return true;
}

// The internal-communication-error texts with the reason number.
void set_internal_error(XrServComReply& out, const char* reason)
{
    out.title = XrString(static_cast<int>(R_STR_INTERNAL_COMMUNICATION_ERROR));
    out.details = out.title + ": " + reason;
}

} // namespace

XrPropertyBag* servcom_decode_reply(const BYTE* body, int length)
{
    std::int32_t announced = 0;
    int used = 0;
    if (!read_leading_int(body, length, announced, used))
        return nullptr;
    const int rest = length - used;
    if (announced <= 0 || announced > servcom_max_reply_length ||
        announced > static_cast<long long>(rest) * max_expansion + 64)
        return nullptr;
    std::unique_ptr<BYTE[]> plain(new (std::nothrow) BYTE[static_cast<size_t>(announced)]);
    if (!plain)
        return nullptr;
    int plain_length = announced;
    if (!zlib_uncompress(body + used, rest, plain.get(), plain_length) || plain_length <= 0)
        return nullptr;
    XrByteArray bytes(plain_length, 16);
    if (!bytes.set(plain.get(), plain_length))
        return nullptr;
    XrByteArrayAccessor accessor;
    accessor.attach(&bytes);
    auto bag = std::make_unique<XrPropertyBag>();
    if (bag->decode(&accessor) != XrPropertyBag::OK)
        return nullptr;
    return bag.release();
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
