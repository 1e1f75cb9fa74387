// Shared pieces of the providers: the map provider and its POI layer's
// storage, map text records, user notes, and the text form of the user files
// (UTF-8 lines behind a byte-order mark, fields split at '|').
#pragma once

#include <string>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"

class XrAggregateGeomStorage;
class XrGeomStorage;
class XrMapProvider;

// The service registered under name, as its interface T; null when none.
template <class T>
T* xr_registered(const TCHAR* name)
{
    return static_cast<T*>(XrSingleton::get_instance(XrString(name)));
}

// The registered map provider, or null.
XrMapProvider* xr_map_provider();
// The aggregate storage of the map's "poi" layer, or null.
XrAggregateGeomStorage* xr_poi_layer_storage();
// Adds a text record (point, type, attribute 0, label) to the storage.
bool xr_add_text_record(XrGeomStorage* storage, int id, const XrPoint& point, int type, const XrString& label);

// Shows a note with a message key's text: the dialogs install the shower;
// until then it goes to standard error.
typedef void (*XrNoteFunction)(const XrString& text);
void xr_set_note_function(XrNoteFunction f);
void xr_show_note(int text_id);
// Shows a note with a text already made.
void xr_show_note_text(const XrString& text);

namespace xr_userfile {

// The lines of a text file: a leading byte-order mark skipped, split at CR
// and LF, blanks and tabs trimmed, decoded from UTF-8 (Latin-1 where that
// fails); empty lines and "#" lines left out. False when the file cannot
// be read.
bool read_lines(const XrString& path, std::vector<XrString>& out);
// The same over bytes in memory.
void split_lines(const BYTE* data, int size, std::vector<XrString>& out);
// The fields of a line split at '|' (a '|' behind '\' belongs to a field);
// at most max_fields, the last taking the rest of the line.
std::vector<XrString> split_fields(const XrString& line, int max_fields);
// A text with '\', '|', CR and LF written as "\\", "\|", "\r", "\n", so
// that it stays one field of one line; and back.
XrString escape(const XrString& text);
XrString unescape(const XrString& text);
// Blanks and tabs cut at both ends.
XrString trimmed(const XrString& text);
// A decimal integer, optionally signed; false for anything else.
bool parse_int(const XrString& text, int& out);
// Appends the UTF-8 form of text.
void append_utf8(std::string& out, const XrString& text);
// The file's bytes: a byte-order mark, then the lines each ended by CR LF;
// written through a temporary file. False when it could not be written.
bool write_lines(const XrString& path, const std::vector<XrString>& lines);

} // namespace xr_userfile
