// The installed voice sets: folders <root>/<language folder>/<voice folder>
// described by their "version.txt", and described folders <root>/<voice
// folder> (the folders the voice settings name, installed by the update
// manager), whose sub-folders are then not searched.
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

class XrSoundsetEntry {
public:
    XrSoundsetEntry(const XrString& path, const XrString& title, const XrString& language, const XrString& guid)
        : m_path(path), m_title(title), m_language(language), m_guid(guid)
    {
    }

    XrString get_path() const { return m_path; }
    XrString get_title() const { return m_title; }
    XrString get_language() const { return m_language; }
    XrString get_guid() const { return m_guid; }

private:
    XrString m_path;
    XrString m_title;
    XrString m_language;
    XrString m_guid;
};

class XrSoundsetCatalogue {
public:
    // Scans root and sorts the voice sets by title.
    explicit XrSoundsetCatalogue(const XrString& root);
    ~XrSoundsetCatalogue();
    XrSoundsetCatalogue(const XrSoundsetCatalogue&) = delete;
    XrSoundsetCatalogue& operator=(const XrSoundsetCatalogue&) = delete;

    int get_count() const { return m_entries.get_num_items(); }
    // Null when i is out of range.
    XrSoundsetEntry* get_item(int i) const;

    // The voice root ("r_str_path_sounds" resolved; "?:\kestrova\sounds"
    // when the locale has no catalogue) and the default voice folder
    // ("?:\kestrova\sounds\sound_eng" resolved).
    static XrString get_voice_root();
    static XrString get_default_voice_folder();
    // name becomes the voice folder of the settings; with search, a folder
    // without files is replaced by the first sub-folder of the voice root
    // (or of the default voice folder when the root cannot be listed).
    static bool find_voice_folder(XrString& name, bool search);
    // Appends the sub-folder names of the voice root (or of the default
    // voice folder); false when neither can be listed.
    static bool list_voice_folders(XrArray<XrString>& names);

private:
    void scan();

    XrPtrArray<XrSoundsetEntry*> m_entries{8};
    XrString m_root;
};

// The names the application's dialogs and start-up use for the voice folder
// lookups above: get_content_folder is find_voice_folder (a null folder
// gives false), list_soundset_folders is list_voice_folders.
bool get_content_folder(XrString& folder, bool search);
bool get_content_folder(XrString* folder, bool search);
bool list_soundset_folders(XrArray<XrString>& names);
