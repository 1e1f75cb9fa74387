// Whole-folder operations over the file layer: moving a directory tree file
// by file, and looking for a file under any extension.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"

// Moves every file and subdirectory of from below to (rename by rename).
// Both paths are normalised in place: '\' becomes '/', one trailing '/' is
// dropped. False when from cannot be walked completely (nothing is moved
// then), or a destination folder cannot be made or a file not moved (what
// was moved before stays). The source folder itself is kept; emptied source
// subdirectories are removed. The destination folder must exist when the
// source holds no subdirectories.
bool move_directory_tree(XrString& from, XrString& to);

// Records the subdirectories (destination path -> source path) and the files
// (source path -> destination path) below from, each with its place below to,
// depth first. False when from is not a directory or a folder of the tree
// cannot be listed completely.
bool collect_directory_tree(const XrString& from, const XrString& to, XrHash<XrString, XrString>& directories,
                            XrHash<XrString, XrString>& files);

// True when the folder of path holds a file (not a directory) whose name
// without extension equals the file name of path without extension
// (case-sensitive): "x/100y.wav" finds "x/100y.ogg".
bool file_exists_ignoring_extension(const TCHAR* path);
