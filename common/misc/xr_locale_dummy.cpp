#include "common/misc/xr_locale_dummy.h"

#include <cmath>
#include <cwchar>

#include "common/container/xr_saturate.h"
#include "common/misc/xr_msgtable.h"

namespace {

// Message identifier of the language code of the translated texts.
constexpr int k_language_text_id = 357;

struct LocaleCode {
    const TCHAR* code;
    const char* locale;
};

const LocaleCode k_locales[] = {
    {L"ENG", "en_GB"},   {L"ENGUS", "en_US"}, {L"FRA", "fr_FR"}, {L"FRACA", "fr_CA"}, {L"DEU", "de_DE"},
    {L"SPA", "es_ES"},   {L"SPAMX", "es_MX"}, {L"ITA", "it_IT"}, {L"SWE", "sv_SE"},   {L"DAN", "da_DK"},
    {L"NOR", "no_NO"},   {L"FIN", "fi_FI"},   {L"POR", "pt_PT"}, {L"TUR", "tr_TR"},   {L"HUN", "hu_HU"},
    {L"DUT", "nl_NL"},   {L"CES", "cs_CZ"},   {L"SLK", "sk_SK"}, {L"POL", "pl_PL"},   {L"RUS", "ru_RU"},
    {L"ARA", "ar_AE"},
};

unsigned int ascii_lower(unsigned int c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

template <class C>
unsigned int pack_code(const C* code, bool lower_case)
{
    unsigned int packed = 0;
    for (int i = 0; i < 3 && code[i] != 0; ++i) {
        unsigned int c = static_cast<unsigned int>(code[i]) & 0xFF;
        if (lower_case)
            c = ascii_lower(c);
        packed |= c << (8 * i);
    }
    return packed;
}

} // namespace

const TCHAR* XrLocale::get_unit(XrLocaleUnit unit)
{
    static const TCHAR* const labels[] = {L"m", L"km", L"mi", L"yd", L"ft", L"h",
                                          L"min", L"s", L"d", L"m/s", L"km/h", L"mph"};
    if (unit < 0 || unit >= static_cast<int>(sizeof labels / sizeof labels[0]))
        XR_ASSERT(false);
    return labels[unit];
}

void XrLocale::format_int(XrString& out, int value, int min_width)
{
    TCHAR buf[16];
    std::swprintf(buf, sizeof buf / sizeof buf[0], L"%d", value);
    const int len = static_cast<int>(std::wcslen(buf));
    out.clear();
    for (int i = len; i < min_width; ++i)
        out += L'0';
    out += buf;
}

void XrLocale::format_double(XrString& out, double value, int decimals)
{
    if (decimals <= 0) {
        format_int(out, xr_clamp_to_int(value < 0 ? value - 0.5 : value + 0.5), 0);
        return;
    }
    const double scale = std::pow(10.0, decimals);
    const double r = value < 0 ? value - 0.5 / scale : value + 0.5 / scale;
    const double whole = std::trunc(r);
    XrString fraction;
    format_int(fraction, xr_clamp_to_int(std::trunc(std::fabs(r - whole) * scale)), decimals);
    const int whole_int = xr_clamp_to_int(whole);
    if (r < 0 && whole_int == 0) {
        out = L"-0";
    } else {
        format_int(out, whole_int, 0);
    }
    out += L'.';
    out += fraction;
}

const char* get_locale_name_for_code(const XrString& code)
{
    for (const LocaleCode& lc : k_locales) {
        if (code == lc.code)
            return lc.locale;
    }
    return "en_GB";
}

const char* get_locale_name()
{
    XrString code;
    get_translated_text(code, k_language_text_id);
    return get_locale_name_for_code(code);
}

unsigned int pack_language_code(const TCHAR* code, bool lower_case)
{
    return pack_code(code, lower_case);
}

unsigned int pack_language_code(const char* code, bool lower_case)
{
    return pack_code(code, lower_case);
}

XrString unpack_language_code(unsigned int packed)
{
    TCHAR text[4] = {TCHAR(packed & 0xFF), TCHAR((packed >> 8) & 0xFF), TCHAR((packed >> 16) & 0xFF), 0};
    return XrString(text);
}
