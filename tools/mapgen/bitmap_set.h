// Writer of a bitmap set: PNG images (as the image generator draws them)
// gathered into one MBM file with the bitmap index file that maps icon ids
// to its bitmaps ("BITMAP <mbm name>", then "id,number[,masked]" rows).
#pragma once

#include <string>

// ids_path: lines "ID NAME.png [mask]" (ID decimal or 0x-hex, "#" starts a
// comment); the images are read from png_dir. A masked image is followed by
// its 1-bit mask (pixels with alpha of at least 128 are drawn). Writes
// def_path and mbm_path (each through a temporary name). False with error
// naming the line or image on failure.
bool xr_write_bitmap_set(const std::string& ids_path, const std::string& png_dir, const std::string& def_path,
                         const std::string& mbm_path, std::string& error);
