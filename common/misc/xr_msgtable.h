// The message table and translated texts.
//
// User-visible texts are named by a message identifier (0 to 878, see
// xr_msgids.h). The table compiled into the program maps each identifier to a
// gettext message key ("r_str_..."); the key is translated in the text domain
// "kestrova" and the result decoded from UTF-8. Without a catalogue gettext
// hands back the key itself.
//
// Catalogues live under XrRoot::path("/usr/share/locale"), the English one in
// en/LC_MESSAGES/kestrova.mo. gettext picks one by LANGUAGE, but only when the
// locale itself is not "C"/"POSIX". The always-present C.UTF-8 locale (built
// into glibc) does not count as "C" there, so
//     LANGUAGE=en LC_ALL=C.UTF-8 and setlocale(LC_ALL, "")
// selects the English catalogue without any generated locale.
//
// Wherever gettext has no translation of a key (the C and POSIX locales, a
// locale without a catalogue of its own, a key its catalogue lacks), the
// English catalogue answers; only without any catalogue does a text stay
// its key.
#pragma once

#include <string>

#include "common/container/xr_defs.h"

class XrString;

struct XrMessageEntry {
    unsigned int id;
    const char* key;
};

constexpr int XR_MESSAGE_COUNT = 879;

// The identifier/key pairs, generated from po/messages.tsv.
extern const XrMessageEntry xr_message_table[XR_MESSAGE_COUNT];

// The gettext text domain of the program.
constexpr const char* XR_TEXT_DOMAIN = "kestrova";

// Binds the text domain to XrRoot::path("/usr/share/locale") with the codeset
// "UTF-8" and makes it the default domain. False when gettext refuses.
bool bind_text_domain();

// The message key of an identifier; null when the table has none.
const char* get_message_key(int text_id);

// The English catalogue's file under the root in force.
std::string english_catalogue_path();

// The text of a message key: the gettext translation, else the English
// text, else the key itself. Valid for the rest of the process unless the
// text domain is bound again.
const char* translate_key(const char* key);

// The identifier of a message key; -1 when the table has none.
int get_message_id(const char* key);

// Empties out and sets it to the translation of the identifier's key; false
// when the identifier is unknown.
bool get_translated_text(XrString& out, int text_id);
