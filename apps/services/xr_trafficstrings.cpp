#include "apps/services/xr_trafficstrings.h"

#include <algorithm>
#include <initializer_list>

#include "apps/services/xr_trafficinfo.h"
#include "apps/services/xr_trafficpenalty.h"
#include "apps/services/xr_trafficstringslayout.h"
#include "common/container/xr_bytes.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"

namespace L = xr_traffic_strings_layout;

namespace {

// The event codes that decide a category, first listed item first.
struct CodeRow {
    std::initializer_list<std::uint16_t> codes;
    int category;
};
const CodeRow CODE_ROWS[] = {
    {{492}, 6},
    {{861, 862, 975, 996, 997, 1003, 1006, 1007, 1008, 1010, 1011, 1017, 1018, 1019, 1054, 1337}, 3},
    {{922, 923, 1067, 1068}, 5},
    {{1012, 1013, 1014, 1015, 1016, 1020, 1021, 1022, 1023, 1075}, 4},
    {{1472, 1473, 1482, 1483}, 17},
};

// The category of an item kind.
const int KIND_CATEGORY[32] = {0, 0, 0, 6, 6, 6, 6, 6, 6, 6, 6, 1, 6, 6, 6, 4,
                               4, 6, 6, 6, 0, 6, 6, 6, 6, 7, 6, 6, 6, 6, 6, 6};

const int FALLBACK_TEXT[12] = {R_STR_TRAFFIC_TYPE_HEAVY,     R_STR_TRAFFIC_TYPE_ROADWORKS,
                               R_STR_TRAFFIC_TYPE_PEOPLE,    R_STR_TRAFFIC_TYPE_SLIPPERY,
                               R_STR_TRAFFIC_TYPE_WEATHER,   R_STR_TRAFFIC_TYPE_ANIMALS,
                               R_STR_TRAFFIC_TYPE_WARNING,   R_STR_TRAFFIC_TYPE_LIGHTS,
                               R_STR_TRAFFIC_TYPE_VEHICLES,  R_STR_TRAFFIC_TYPE_RESTRICTIONS,
                               R_STR_TRAFFIC_TYPE_INCIDENT,  R_STR_TRAFFIC_TYPE_CAMERA};

int category_of_code(std::uint16_t code)
{
    for (const CodeRow& row : CODE_ROWS)
        if (std::find(row.codes.begin(), row.codes.end(), code) != row.codes.end())
            return row.category;
    return -1;
}

} // namespace

XrTrafficStrings::XrTrafficStrings() : cache(20, false, 80) {}

XrTrafficStrings::~XrTrafficStrings() = default;

XrString XrTrafficStrings::file_for(const XrString& language)
{
    XrString relative;
    relative.format(255, L"?:\\kestrova\\strings_%s.bin", language.c_str());
    return XrPathResolver::resolve(relative);
}

std::unique_ptr<XrTrafficStrings> XrTrafficStrings::load()
{
    XrString language;
    get_translated_text(language, R_STR_LANGUAGE);
    language.to_upper();
    for (const XrString& tried : {language, XrString(language.c_str(), std::min(3, language.length())),
                                  XrString(L"ENG")}) {
        auto strings = std::make_unique<XrTrafficStrings>();
        if (tried.length() > 0 && strings->open(file_for(tried)))
            return strings;
    }
    return nullptr;
}

bool XrTrafficStrings::open(const XrString& path)
{
    return open(std::unique_ptr<XrStorageAccessor>(open_storage_accessor(path, true)));
}

bool XrTrafficStrings::open(std::unique_ptr<XrStorageAccessor> opened)
{
    if (opened == nullptr)
        return false;
    file_size = opened->get_size();
    file = std::move(opened);
    return true;
}

bool XrTrafficStrings::get_text(int event_code, XrString& text)
{
    if (cache.find(event_code, text))
        return true;
    text = XrString();
    if (file == nullptr || event_code < L::FIRST_CODE || event_code > L::LAST_CODE)
        return false;
    const std::uint32_t at = static_cast<std::uint32_t>(event_code) * L::ENTRY_SIZE;
    if (at > file_size || file_size - at < L::ENTRY_SIZE)
        return false;
    const BYTE* entry = nullptr;
    if (file->get_ptr(at, L::ENTRY_SIZE, &entry) != XrStorageAccessor::OK || entry == nullptr)
        return false;
    const std::uint32_t offset = xr_bytes::get_u32_le(entry + L::ENTRY_OFFSET);
    const std::uint16_t length = xr_bytes::get_u16_le(entry + L::ENTRY_LENGTH);
    file->release_ptr(entry);
    if (offset == 0 || offset > file_size || file_size - offset < length)
        return false;
    XrString decoded;
    if (length > 0) {
        const BYTE* bytes = nullptr;
        if (file->get_ptr(offset, length, &bytes) != XrStorageAccessor::OK || bytes == nullptr)
            return false;
        const bool ok = XrUTF8::decode_utf8(bytes, length, decoded);
        file->release_ptr(bytes);
        if (!ok)
            return false;
    }
    cache.insert(event_code, decoded);
    text = decoded;
    return true;
}

int XrTrafficStrings::event_category(const XrTrafficInfoParams& record, const XrTrafficPenalty* penalty)
{
    if (record.event_codes.empty())
        return 0;
    if (penalty != nullptr && penalty->event_class(record) == 0)
        return 9;
    for (std::uint16_t code : record.event_codes) {
        const int category = category_of_code(code);
        if (category >= 0)
            return category;
    }
    int kind = 0;
    for (std::uint8_t k : record.kinds)
        kind = std::max(kind, static_cast<int>(k));
    return kind > 31 ? 0 : KIND_CATEGORY[kind];
}

void XrTrafficStrings::event_text(XrTrafficStrings* strings, int event_code, int category, XrString& text)
{
    if (strings != nullptr && strings->get_text(event_code, text))
        return;
    text = XrString();
    if (category >= 0 && category < 12)
        get_translated_text(text, FALLBACK_TEXT[category]);
}

const TCHAR* XrTrafficStrings::category_sound(int category)
{
    return category == 3 || category == 4 ? L"tf_weather.wav" : L"tf_warning.wav";
}
