// The font configuration text is drawn with (apart from the drawing code,
// so that programs drawing through another backend do not take it in).
#include "common/gdi/xr_gdi.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/base/xr_root.h"

bool XrGDI::use_shipped_fonts()
{
    const std::string conf = XrRoot::path("/usr/share/kestrova/fonts.conf");
    return ::access(conf.c_str(), R_OK) == 0 && ::setenv("FONTCONFIG_FILE", conf.c_str(), 1) == 0;
}
