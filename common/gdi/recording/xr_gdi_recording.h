// The recording drawing backend: in a program linked with it, every XrGDI
// operation is appended to one log with its arguments and the DC state it
// used, and nothing is drawn. No display is needed.
//
// Text measures are fixed: each character is 0.6 times the font size wide
// (at least 1 pixel), a line 1.25 times the size high; a DC without a font
// measures as size 10.
#pragma once

#include <string>
#include <vector>

#include "common/gdi/xr_gdi.h"

struct XrGdiCall {
    std::string name;             // the XrGDI operation, "draw_polyline"
    const XrDCHandleRec* dc = nullptr;
    std::vector<long long> args;  // the numeric arguments in order
    std::vector<XrPoint> points;  // point lists (polylines, polygons)
    std::vector<int> rings;       // ring sizes of polygons
    std::wstring text;            // the drawn part of a text
    // The DC's state when the call was made.
    XrPenHandle pen{};
    XrBrushHandle brush{};
    const XrFontHandleRec* font = nullptr;
    XrColorHandle text_color = 0;

    int pen_rgb() const;
    int brush_rgb() const;
    std::string to_string() const;
};

class XrGdiRecording {
public:
    static XrGdiRecording& instance();

    // While disabled nothing is logged (the DC state is still kept).
    void set_enabled(bool value) { enabled = value; }
    bool is_enabled() const { return enabled; }
    void clear() { calls.clear(); }
    const std::vector<XrGdiCall>& get_calls() const { return calls; }
    // The calls of one operation, in order.
    std::vector<const XrGdiCall*> find(const char* name) const;
    int count(const char* name) const;
    // One call a line.
    std::string dump() const;

    // Used by the backend.
    XrGdiCall* add(const char* name, const XrDCHandleRec* dc);

private:
    std::vector<XrGdiCall> calls;
    bool enabled = true;
};

// A DC of the given size for the recording backend (delete with
// XrGDI::delete_dc); the same as XrGDI::create_memory_dc(nullptr, w, h).
XrDCHandleRec* xr_recording_dc(int width, int height);
// The text measures of the backend.
XrSize xr_recording_text_size(const XrFontHandleRec* font, const TCHAR* str, int len);
