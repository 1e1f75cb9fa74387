// Draws PNG images from small vector description files.
//
//   image NAME.png W H        starts an image (transparent, origin at top left)
//   color R G B [A]           current colour, 0..255 (A defaults to 255)
//   width W                   line width for stroke and line
//   translate DX DY           moves the origin (strips of icons)
//   fill|stroke rect X Y W H
//   fill|stroke rrect X Y W H R   rectangle with rounded corners
//   fill|stroke circle CX CY R
//   fill|stroke ellipse CX CY RX RY
//   fill|stroke poly X Y X Y ...
//   line X Y X Y ...          open polyline
//   text X Y SIZE "TEXT"      bold sans, X Y = left end of the baseline
//   textc X Y SIZE "TEXT"     the same, centred on X
//   # ...                     comment
//
// Numbers may have fractions. Every image is written as OUTDIR/NAME.png.
#pragma once

#include <string>
#include <vector>

struct XrImageGenResult {
    bool ok = false;
    std::string error;               // "file:line: message" on failure
    std::vector<std::string> written; // paths of the images written
};

// Reads the description text (named `source` in errors) and writes its images
// into out_dir (which must exist). Each image goes to a temporary name first.
XrImageGenResult xr_generate_images(const std::string& text, const std::string& source,
                                    const std::string& out_dir);
