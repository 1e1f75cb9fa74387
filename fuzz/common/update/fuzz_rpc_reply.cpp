// Arbitrary bytes as the update server's form-encoded reply: decoding must
// end without a fault, keep keys unique and values zero-terminated, and
// encoding the decoded values again must decode to the same values.
#include "common/update/xr_updaterpcclient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    XrRpcCall call(XrString("/rpc/fuzz"));
    bool ok = call.decode_reply(data, static_cast<int>(size));
    XrRpcCall again(XrString("/rpc/fuzz"));
    XrByteArray body;
    for (XrRpcParam* p = call.get_reply(); p != nullptr; p = p->next) {
        if (p->value[p->length] != 0)
            std::abort();
        for (XrRpcParam* q = p->next; q != nullptr; q = q->next) {
            if (p->key == q->key)
                std::abort();
        }
        if (body.get_num_items() > 0 && !body.append_byte('&'))
            std::abort();
        if (!XrRpcCall::encode_param(body, p->key, p->value, p->length))
            std::abort();
    }
    if (ok && body.get_num_items() > 0) {
        if (!again.decode_reply(body.get_items(), body.get_num_items()))
            std::abort();
        for (XrRpcParam* p = call.get_reply(); p != nullptr; p = p->next) {
            const BYTE* bytes;
            int length;
            XrString key = p->key;
            char narrow[1024];
            int n = key.length();
            if (n >= static_cast<int>(sizeof(narrow)))
                continue;
            bool plain = true;
            for (int i = 0; i < n; ++i) {
                narrow[i] = static_cast<char>(key.c_str()[i]);
                plain = plain && narrow[i] != 0;
            }
            narrow[n] = 0;
            if (!plain)
                continue;
            if (!again.get_reply_value(narrow, bytes, length) || length != p->length ||
                std::memcmp(bytes, p->value, static_cast<size_t>(length)) != 0)
                std::abort();
        }
    }
    return 0;
}
