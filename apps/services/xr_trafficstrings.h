// Traffic event texts of the user's language ("?:\kestrova\strings_%s.bin",
// layout in xr_trafficstringslayout.h), the category of a record, the
// fallback text and the warning sound of a category.
#pragma once

#include <cstdint>
#include <memory>

#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"

class XrStorageAccessor;
class XrTrafficPenalty;
struct XrTrafficInfoParams;

class XrTrafficStrings {
public:
    XrTrafficStrings();
    virtual ~XrTrafficStrings();
    XrTrafficStrings(const XrTrafficStrings&) = delete;
    XrTrafficStrings& operator=(const XrTrafficStrings&) = delete;

    // The strings of the current language (then its first three letters,
    // then "ENG"); null when no file opens.
    static std::unique_ptr<XrTrafficStrings> load();
    // The file tried for a language code.
    static XrString file_for(const XrString& language);

    bool open(const XrString& path);
    // The same over a file already open (the strings take it).
    bool open(std::unique_ptr<XrStorageAccessor> opened);
    // The text of an event code (1 to 2047); false with an empty text when
    // the file has none or it is unsound.
    bool get_text(int event_code, XrString& text);

    // The category of a record (0 to 11, or 17).
    static int event_category(const XrTrafficInfoParams& record, const XrTrafficPenalty* penalty);
    // The file's text of the code, else the category's translated fallback
    // (categories below 12), else empty.
    static void event_text(XrTrafficStrings* strings, int event_code, int category, XrString& text);
    // "tf_weather.wav" or "tf_warning.wav".
    static const TCHAR* category_sound(int category);

private:
    std::unique_ptr<XrStorageAccessor> file;
    std::uint32_t file_size = 0;
    XrHash<int, XrString> cache;
};
