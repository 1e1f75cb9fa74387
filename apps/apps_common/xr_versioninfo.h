// The application's and the installed map's version texts, read from
// "?:\version.txt" and "?:\mapdata\version.txt" (with built-in defaults),
// and the client version text the service channel sends.
#pragma once

#include "common/container/xr_string.h"

// The text after the first occurrence of key up to the line end (at most
// 63 characters); empty when the key does not occur.
XrString extract_version_value(const XrString& text, const XrString& key);
// True when "?:\version.txt" was read.
bool read_app_version_info(XrString& title, XrString& version, XrString& build, XrString& full_version);
// The "name" of "?:\mapdata\mapdata.ini" (key "\general"); name is kept when
// it cannot be read.
bool read_map_name(XrString& name);
bool read_map_version_info(XrString& map_name, XrString& version, XrString& year, XrString& map_version,
                           XrString& vendor);
// "<title> <map name> App <version>.<build> Map <map version text> <map version>".
XrString format_version_string();
XrString get_platform_name();
