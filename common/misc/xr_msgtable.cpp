#include "common/misc/xr_msgtable.h"

#include <libintl.h>

#include <cstring>
#include <string>

#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_utf8.h"
#include "common/base/xr_root.h"
#include "common/misc/xr_mocatalogue.h"

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

// The English catalogue, read on first use from under the root in force
// then; read again after bind_text_domain or when the root changes.
struct XrEnglishCatalogue {
    bool loaded = false;
    std::string path;
    XrMoCatalogue catalogue;
};

XrEnglishCatalogue& english_state()
{
    static XrEnglishCatalogue* state = new XrEnglishCatalogue;
    return *state;
}

const char* english_text(const char* key)
{
    XrEnglishCatalogue& e = english_state();
    const std::string path = english_catalogue_path();
    if (!e.loaded || e.path != path) {
        e.catalogue.load(path);
        e.path = path;
        e.loaded = true;
    }
    return e.catalogue.find(key);
}

} // namespace

std::string english_catalogue_path()
{
    return XrRoot::path("/usr/share/locale/en/LC_MESSAGES/") + XR_TEXT_DOMAIN + ".mo";
}

bool bind_text_domain()
{
    english_state().loaded = false;
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

const char* translate_key(const char* key)
{
    const char* text = dgettext(XR_TEXT_DOMAIN, key);
    // gettext hands back the key itself when it has no translation.
    if (text == key || std::strcmp(text, key) == 0) {
        if (const char* english = english_text(key))
            return english;
    }
    return text;
}

int get_message_id(const char* key)
{
    if (key == nullptr)
        return -1;
    for (const XrMessageEntry& e : xr_message_table) {
        if (std::strcmp(e.key, key) == 0)
            return static_cast<int>(e.id);
    }
    return -1;
}

bool get_translated_text(XrString& out, int text_id)
{
    out.clear();
    const char* key = get_message_key(text_id);
    if (key == nullptr)
        return false;
    const char* text = translate_key(key);
    // A catalogue with a broken sequence still gives the text up to it.
    XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(text), -1, out);
    return true;
}
