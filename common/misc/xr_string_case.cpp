// Case mapping and case-insensitive comparison of wide text through the
// Unicode tables; defined here so that the container needs nothing above it.
#include <climits>

#include "common/container/xr_saturate.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_unicodeutil.h"

void XrString::to_upper()
{
    if (m_inst == nullptr)
        return;
    make_private(0);
    wide_strupr(m_inst->text());
}

void XrString::to_lower()
{
    if (m_inst == nullptr)
        return;
    make_private(0);
    wide_strlwr(m_inst->text());
}

int wide_stricmp(const TCHAR* a, const TCHAR* b)
{
    return wide_strnicmp(a, b, INT_MAX);
}

int wide_strnicmp(const TCHAR* a, const TCHAR* b, int n)
{
    for (int i = 0; i < n; ++i) {
        TCHAR ca = to_upper_char(a[i]);
        TCHAR cb = to_upper_char(b[i]);
        if (ca != cb) {
            int fa = sort_fold_char(ca);
            int fb = sort_fold_char(cb);
            if (fa != fb || a[i] == 0 || b[i] == 0)
                return xr_saturate_int(static_cast<long long>(fa) - fb);
        } else if (ca == 0) {
            break;
        }
    }
    return 0;
}

TCHAR* wide_strupr(TCHAR* s)
{
    for (TCHAR* p = s; *p != 0; ++p)
        *p = to_upper_char(*p);
    return s;
}

TCHAR* wide_strlwr(TCHAR* s)
{
    for (TCHAR* p = s; *p != 0; ++p)
        *p = to_lower_char(*p);
    return s;
}

// Characters outside the 16-bit range are left alone.
TCHAR to_upper_char(TCHAR c)
{
    return XrUnicodeUtil::get_instance()->to_upper(c);
}

TCHAR to_lower_char(TCHAR c)
{
    return XrUnicodeUtil::get_instance()->to_lower(c);
}
