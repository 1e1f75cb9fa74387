// The members of XrString that read the message table; defined here so that
// the container needs nothing above it.
#include "common/container/xr_string.h"
#include "common/misc/xr_msgtable.h"

XrString::XrString(int text_id)
{
    load_text(text_id);
}

bool XrString::format_text(int max_len, int text_id, ...)
{
    XrString fmt;
    if (!get_translated_text(fmt, text_id))
        return false;
    va_list args;
    va_start(args, text_id);
    vformat(max_len, fmt.c_str(), args);
    va_end(args);
    return true;
}

bool XrString::load_text(int text_id)
{
    if (get_translated_text(*this, text_id))
        return true;
    clear();
    return false;
}
