// The file side of an update: server-given names checked before they become
// paths, downloaded files (whole, "+z" compressed, or rebuilt from a GDIFF
// difference against the installed file) built under a temporary name,
// checked for size and MD5, synced and only then renamed into place, so
// that the card holds either the old file whole or the new one whole.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

// A relative name given by the server (a file name with sub-folders, or a
// destination folder) that stays below the folder it is joined to: not
// empty (unless allow_empty), not absolute ("/", "\", "X:"), no "." or ".."
// part (either separator), no control characters, no empty inner part.
bool xr_update_name_is_safe(const XrString& name, bool allow_empty = false);

// base + folder + name when folder (may be empty) and name are safe; a "/"
// goes between the parts where needed. False (out unchanged) otherwise.
bool xr_update_join(const XrString& base, const XrString& folder, const XrString& name, XrString& out);

// Exactly 32 hexadecimal digits (either case) equal to the digest.
bool xr_update_digest_matches(const XrString& expected, const BYTE digest[16]);

enum class XrUpdateFileResult {
    ok = 0,
    no_source,       // the download (or the installed file of a difference) cannot be read
    bad_source,      // unreadable compressed data or a broken difference
    write_failed,    // the temporary file cannot be made, written or synced
    size_mismatch,   // more or fewer bytes than announced
    digest_mismatch, // the MD5 differs
    rename_failed,   // the checked file could not be renamed into place
};

// What an install or construction reports to the user ("Size mismatch for
// file `%s'." and so on; the file name is filled in by the caller).
const char* xr_update_file_result_text(XrUpdateFileResult result);

// The temporary name a file is built under before it is renamed into place.
XrString xr_update_temp_path(const XrString& destination);

// Copies (or, when compressed, unpacks) source into destination through its
// temporary name, checking size and digest (skipped when verify is false);
// destination keeps its old content on every failure.
XrUpdateFileResult xr_update_install_file(const XrString& source, bool compressed, const XrString& destination,
                                          std::uint32_t size, const XrString& md5, bool verify = true);

// Rebuilds a file from the installed copy and a GDIFF difference into
// output (through its temporary name), checking size and digest. A
// difference that writes past the announced size fails.
XrUpdateFileResult xr_update_apply_difference(const XrString& installed, const XrString& difference,
                                              const XrString& output, std::uint32_t size, const XrString& md5);

// A component folder is installed as a whole: its files are built in a
// staging folder beside it ("." + name + ".staging") that starts as a copy
// of the installed folder (hard links where possible), and the staging
// folder then takes the installed folder's place in one exchange of names.
// A cut-off installation leaves the installed folder as it was.
XrString xr_update_staging_path(const XrString& folder);
// Removes a staging folder left over and makes a new one from folder (an
// empty one when folder does not exist); false on any failure.
bool xr_update_stage_folder(const XrString& folder, const XrString& staging);
// Puts the staging folder in place of folder and removes the old content;
// false (folder unchanged) when the names cannot be exchanged.
bool xr_update_commit_folder(const XrString& folder, const XrString& staging);
