// The reply side of a ServCom exchange: the body (a BER integer holding the
// length of the reply encoding, then its zlib stream) turned into a property
// bag, and the bag evaluated into the status, texts, echoed values and
// payload handed to the client.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

#include <cstdint>

class XrPropertyBag;

// Largest reply encoding the channel uncompresses.
constexpr std::int32_t servcom_max_reply_length = 64 * 1024 * 1024;
// Longest reply body the channel takes in: the largest encoding compressed
// with zlib's worst-case growth, and the length item before it.
constexpr std::int64_t servcom_max_body_length = servcom_max_reply_length + servcom_max_reply_length / 1024 + 64;

// The reply bag of a body; null when the length item cannot be read, the
// announced length is not plausible, the stream does not uncompress to it,
// or the bytes do not decode to a bag. The caller owns the bag.
XrPropertyBag* servcom_decode_reply(const BYTE* body, int length);

struct XrServComReply {
    int status = 4;
    XrString title;
    XrString details;
    int service_id = 0;
    int value_a = 0;
    int value_b = 0;
    XrPropertyBag* payload = nullptr; // handed to the client
};

// Evaluates a reply bag (null: none could be decoded). The payload is taken
// out of the bag; the bag itself stays the caller's.
XrServComReply servcom_evaluate_reply(XrPropertyBag* reply);

// The translated text of a ServCom error code (1 to 20); empty otherwise.
XrString servcom_error_text(int code);
