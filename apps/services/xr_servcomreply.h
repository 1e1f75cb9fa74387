// The reply side of a ServCom exchange: the body (a BER integer holding the
// length of the reply encoding, then its zlib stream) turned into a property
// bag, and the bag evaluated into the status, texts, echoed values and
// payload handed to the client.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

#include <cstdint>
#include <memory>

class XrPropertyBag;

// Largest reply encoding the channel uncompresses.
constexpr std::int32_t servcom_max_reply_length = 64 * 1024 * 1024;
// Longest reply body the channel takes in: the largest encoding compressed
// with zlib's worst-case growth, and the length item before it.
constexpr std::int64_t servcom_max_body_length = servcom_max_reply_length + servcom_max_reply_length / 1024 + 64;

// Decodes a reply body while it arrives: the length item is read from its
// first bytes and the zlib stream is uncompressed as it comes, so that only
// the uncompressed reply is held (never more than the announced length);
// bytes after the end of the stream are counted, not kept.
class XrServComReplyDecoder {
public:
    XrServComReplyDecoder();
    ~XrServComReplyDecoder();
    XrServComReplyDecoder(const XrServComReplyDecoder&) = delete;
    XrServComReplyDecoder& operator=(const XrServComReplyDecoder&) = delete;

    // Takes the next bytes of the body (ignored once it cannot be a reply).
    void write(const BYTE* bytes, int length);
    // Bytes of the body taken so far.
    std::int64_t get_body_length() const { return body_length; }
    // Bytes held now for the reply (the uncompressed encoding and the head).
    std::int64_t get_held_bytes() const;
    // The reply bag of the body taken; null when the length item cannot be
    // read, the announced length is not plausible, the stream is damaged,
    // cut or longer than announced, or the bytes do not decode to a bag. The
    // caller owns the bag. The decoder takes nothing more afterwards.
    XrPropertyBag* finish();

private:
    enum Phase { HEAD, INFLATE, ENDED, FAILED };

    void fail();
    void take_head(const BYTE*& bytes, int& length);
    void inflate_some(const BYTE* bytes, int length);

    Phase phase = HEAD;
    // The leading length item, collected until it is whole.
    BYTE head[16];
    int head_length = 0;
    int head_used = 0;
    std::int32_t announced = 0;
    std::int64_t body_length = 0;
    struct Inflater;
    Inflater* inflater = nullptr;
    std::unique_ptr<XrByteArray> plain;
    int produced = 0;
};

// The reply bag of a whole body (XrServComReplyDecoder::finish); the caller
// owns the bag.
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
