#include "common/misc/xr_msgtable.h"

#include <libintl.h>

#include <string>

#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_utf8.h"
#include "common/base/xr_root.h"

namespace {

// Loaded on the first lookup; lives for the rest of the process.
const XrHash<unsigned int, const char*>& message_hash()
{
    static const XrHash<unsigned int, const char*>* hash = [] {
        auto* h = new XrHash<unsigned int, const char*>(XR_MESSAGE_COUNT, true, 80);
        for (const XrMessageEntry& e : xr_message_table)
            h->insert(e.id, e.key);
        return h;
    }();
    return *hash;
}

} // namespace

bool bind_text_domain()
{
    const std::string dir = XrRoot::path("/usr/share/locale");
    if (bindtextdomain(XR_TEXT_DOMAIN, dir.c_str()) == nullptr)
        return false;
    if (bind_textdomain_codeset(XR_TEXT_DOMAIN, "UTF-8") == nullptr)
        return false;
    return textdomain(XR_TEXT_DOMAIN) != nullptr;
}

const char* get_message_key(int text_id)
{
    const char* key = nullptr;
    if (!message_hash().find(static_cast<unsigned int>(text_id), key))
        return nullptr;
    return key;
}

bool get_translated_text(XrString& out, int text_id)
{
    out.clear();
    const char* key = get_message_key(text_id);
    if (key == nullptr)
        return false;
    const char* text = dgettext(XR_TEXT_DOMAIN, key);
    // A catalogue with a broken sequence still gives the text up to it.
    XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(text), -1, out);
    return true;
}
