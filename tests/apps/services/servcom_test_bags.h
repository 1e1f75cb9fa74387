// Bags and reply bodies of the ServCom tests.
#pragma once

#include "common/ber/xr_propertybag.h"
#include "tools/mapgen/servcom_writer.h"

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> bag_encoding(const XrPropertyBag& bag)
{
    XrByteArray out;
    bag.encode(out);
    return std::vector<std::uint8_t>(out.get_items(), out.get_items() + out.get_num_items());
}

// The low bytes of a text's characters.
inline std::string narrow(const XrString& s)
{
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out += static_cast<char>(s.char_at(i));
    return out;
}

inline std::string as_text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A reply bag: the echoed values, the success flag and the error texts
// (null: absent); a successful one carries a payload with key 1 = payload_value.
struct ReplyFields {
    bool with_success = true;
    bool success = true;
    bool with_payload = true;
    const char* message = nullptr;
    const char* title = nullptr;
    const char* details = nullptr;
    int service_id = 7;
    int value_a = 8;
    int value_b = 9;
    int payload_value = 42;
};

inline XrPropertyBag* make_reply_bag(const ReplyFields& s)
{
    namespace L = xr_servcom_layout;
    XrPropertyBag* bag = new XrPropertyBag();
    bag->add_int(L::KEY_SERVICE_ID, s.service_id);
    bag->add_int(L::KEY_VALUE_A, s.value_a);
    bag->add_int(L::KEY_VALUE_B, s.value_b);
    if (s.with_success)
        bag->add_bool(L::KEY_SUCCESS, s.success);
    if (s.with_payload) {
        XrPropertyBag* payload = new XrPropertyBag();
        payload->add_int(1, s.payload_value);
        bag->add_bag(L::KEY_PAYLOAD, payload);
    }
    if (s.message != nullptr)
        bag->add_string(L::KEY_MESSAGE, XrString(s.message));
    if (s.title != nullptr)
        bag->add_string(L::KEY_TITLE, XrString(s.title));
    if (s.details != nullptr)
        bag->add_string(L::KEY_DETAILS, XrString(s.details));
    return bag;
}

inline std::vector<std::uint8_t> reply_body(const ReplyFields& s)
{
    XrPropertyBag* bag = make_reply_bag(s);
    std::vector<std::uint8_t> body = servcom_reply_body(bag_encoding(*bag));
    delete bag;
    return body;
}
