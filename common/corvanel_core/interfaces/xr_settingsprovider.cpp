#include "common/corvanel_core/interfaces/xr_settingsprovider.h"

#include <memory>

#include "common/config/xr_configuration.h"

namespace {

// An optional '-' and the decimal digits that follow; 0 without digits.
int leading_int(const XrString& text)
{
    const TCHAR* p = text.c_str();
    bool negative = false;
    if (*p == L'-') {
        negative = true;
        ++p;
    }
    long long v = 0;
    while (*p >= L'0' && *p <= L'9') {
        v = v * 10 + (*p - L'0');
        if (v > 0x80000000LL)
            v = 0x80000000LL; // saturate: a long run of digits stays an int
        ++p;
    }
    if (negative)
        v = -v;
    if (v > 0x7FFFFFFFLL)
        v = 0x7FFFFFFFLL;
    return static_cast<int>(v);
}

} // namespace

bool XrFileSettingsProvider::write_to(XrConfiguration& config)
{
    XrHash<XrString, XrString>::XrHashIterator it(values);
    while (auto* slot = it.get_next())
        config.set_string(slot->key.c_str(), slot->value.c_str());
    return true;
}

XrString XrFileSettingsProvider::get_string(const XrString& key, const XrString& default_value)
{
    XrString value;
    if (values.find(key, value))
        return value;
    values.insert(key, default_value);
    return default_value;
}

int XrFileSettingsProvider::get_int(const XrString& key, int default_value)
{
    XrString text;
    text.format(20, L"%d", default_value);
    return leading_int(get_string(key, text));
}

bool XrFileSettingsProvider::set_string(const XrString& key, const XrString& value)
{
    values.remove(key);
    values.insert(key, value);
    return true;
}

bool XrFileSettingsProvider::set_int(const XrString& key, int value)
{
    XrString text;
    text.format(20, L"%d", value);
    return set_string(key, text);
}

bool XrFileSettingsProvider::load_values(XrConfiguration& config)
{
    std::unique_ptr<XrConfigurationIterator> it(config.create_value_iterator());
    if (!it)
        return true;
    XrString name;
    while (it->get_next(name)) {
        XrString text;
        config.get_string(name.c_str(), text);
        values.remove(name);
        values.insert(name, text);
    }
    return true;
}
