// Extension files: add-on content (POI sets, map files, partner files, the
// speed-camera set) packed into one BER file (the layout is in
// xr_extensionlayout.h): a header bag (key 1: the identifier of the map it
// belongs to) and items of a target path ("e:/poi/...", "e:/mapdata/...",
// "e:/extensions/...") and the bytes of the file to write there.
//
// Known extensions are kept in a configuration under "\extensions": values
// "0", "1", ... naming the files, and per file the key
// "\extensions\<name>" with the values "state" and "path".
#pragma once

#include "common/ber/xr_propertybag.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/extension/xr_extensionlayout.h"

class XrConfiguration;

enum XrExtensionState {
    XR_EXTENSION_UNKNOWN = 0,
    XR_EXTENSION_UNHANDLED = 1,
    XR_EXTENSION_INSTALLING = 2,
    XR_EXTENSION_INVALID = 3,
    XR_EXTENSION_INSTALLED = 4,
    XR_EXTENSION_IGNORED = 5,
    XR_EXTENSION_DELETED = 6,
};

// "unhandled", "installing", ...; null for a state without text.
const TCHAR* extension_state_text(int state);
// The state of a text; XR_EXTENSION_UNKNOWN for any other text.
int extension_state_from_text(const TCHAR* text);

// One known extension: its file name, the folder that holds it ('/'
// separators) and its state.
class XrExtensionItem {
public:
    XrExtensionItem(const XrString& name, const XrString& folder, int state)
        : m_name(name), m_folder(folder), m_state(state)
    {
    }

    const XrString& get_name() const { return m_name; }
    const XrString& get_folder() const { return m_folder; }
    int get_state() const { return m_state; }
    void set_state(int state) { m_state = state; }
    void set_folder(const XrString& folder) { m_folder = folder; }
    // The folder, a '/' unless it ends with a separator, and the name.
    XrString get_path() const;

private:
    XrString m_name;
    XrString m_folder;
    int m_state;
};

// A list that owns its items.
class XrExtensionItemList : public XrPtrArray<XrExtensionItem*> {
public:
    XrExtensionItemList() = default;
    ~XrExtensionItemList() override { remove_all_items(); }
    // Deletes every item.
    void remove_all_items();
    // The first item of the name, or null.
    XrExtensionItem* find_name(const XrString& name) const;
};

// The owner's side: it confirms installations and hears their outcome.
class XrExtensionHandler {
public:
    enum Result {
        RESULT_INSTALLED = 0,
        RESULT_FAILED = 1,
        RESULT_IGNORED = 2, // the extension belongs to another map
        RESULT_UNKNOWN = 3, // uninstall of an extension that is not registered
    };

    virtual ~XrExtensionHandler() = default;
    virtual void on_extension_result(int code, const XrExtensionItem& item)
    {
        (void)code;
        (void)item;
    }
    virtual bool confirm_install(const XrExtensionItem& item)
    {
        (void)item;
        return true;
    }
};

// The header bag of an extension file.
class XrExtensionHeader : public XrPropertyBag {
public:
    enum { KEY_MAP_ID = xr_extension_layout::KEY_MAP_ID };

    // Reads the header of the extension file; false when the file cannot be
    // read or holds no header.
    bool read(const XrString& path);
    // The map identifier of key 1; false when it holds no string.
    bool get_map_id(XrString& out);
};

// The platform path of an item's target path: its prefix replaced and the
// result resolved. False for a path without a known prefix, with a ".."
// component, a 0 byte or no file name, so that no item reaches outside its
// folder.
bool map_extension_path(const XrString& target, XrString& out);

// Appends an item (state 1) for every file of the folder whose name has at
// least 5 characters and ends with file_extension (4 characters, compared
// without regard to case and accents). False when the folder cannot be read.
bool find_extension_files(const XrString& folder, const TCHAR* file_extension, XrExtensionItemList& list);

// The registry records, in registration order.
void list_entries(XrConfiguration* config, XrExtensionItemList& list);
// The record of a name (the caller owns it), or null when the key or one of
// its values is missing. The folder is empty unless "path" begins with one
// of the target prefixes.
XrExtensionItem* read_entry(XrConfiguration* config, const XrString& name);
// Writes the record (registering the name when new) and saves.
bool write_entry(XrConfiguration* config, const XrExtensionItem& item);

// Processes one extension: checks its map, asks the handler, installs its
// items and moves the file into "installed/". True when it was installed.
// One left installing (cut off by a kill) is rolled back and installed again
// without asking.
bool process_extension(XrExtensionHandler* handler, XrConfiguration* config, XrExtensionItem& item);
// Registers the file when needed and processes it.
bool install_extension_file(XrExtensionHandler* handler, XrConfiguration* config, const XrString& path);
// Processes every file of the folder with the extension; registered files
// keep their registered state.
bool scan_extensions(XrExtensionHandler* handler, XrConfiguration* config, const XrString& folder,
                     const TCHAR* file_extension);
// Removes the files an installed extension wrote, the extension file and its
// installed copy, and marks it deleted.
bool uninstall_extension(XrExtensionHandler* handler, XrConfiguration* config, const XrString& path);
