// What start-up does on disk before the application object exists: the
// user's settings file, the memory card with the map data (folder skeleton,
// shipped files, demo map, active map), the installer-package notice and
// the version file. Every path goes through the root module.
#pragma once

#include <string>

struct XrCardSetup {
    // The card's map root ("/media/mmcN/map/", platform form) once ready.
    std::string map_root;
    // This start prepared the card (skeleton or demo map installed).
    bool demo_map = false;
    // Map data on both card 1 and card 2.
    bool ambiguous = false;
};

// Makes sure "~/.kestrova/settings.txt" exists, copied from the shipped
// default; first_start tells whether "~/.kestrova" was missing. False when
// the file is missing and could not be made (the settings start from their
// defaults then).
bool xr_ensure_user_settings(bool& first_start);

// True when one sub-folder of folder begins with "mapdata" (A-Z lowered).
bool xr_folder_holds_map_data(const std::string& folder);

// Finds the card with map data, or prepares one: only a card whose mount
// point ("/media/mmc2", then "/media/mmc1") exists is prepared, and nothing
// the user had is replaced or removed; what this start made is removed
// again when a step fails. The program folder "kestrova" is filled under a
// hidden name, marked complete and renamed into place after the demo map,
// so that a start cut off at any moment leaves either nothing or a whole
// card; a program folder without its marker is finished at the next start.
// Files are copied under temporary names and renamed when whole. Either way
// the voice set is installed when missing. False (with the reason on
// standard error) when no usable card remains.
bool xr_prepare_card(XrCardSetup& setup);

// Installs the shipped voice set on the card as the default voice folder
// ("kestrova/sounds/sound_eng" below the map root) when the card has none:
// copied under a temporary name, synced and renamed, so that a cut-off copy
// never passes for a voice set. xr_prepare_card calls it. False (with the
// reason on standard error) when nothing was installed.
bool xr_install_voice_set(const std::string& map_root);
// Copies the shipped add-ons ("/usr/share/kestrova-addons") to the card's
// "extensions/addons" folder when it has none, under a hidden temporary
// name renamed into place. True when nothing needed doing.
bool xr_install_addons(const std::string& map_root);

// Installs the demo map as the active map ("mapdata") when the card has
// none and no other installed map can be activated. False when it fails.
bool xr_ensure_active_map(XrCardSetup& setup);

// Re-stamps newer installer packages on the card's top folder; true when
// one was announced (newer than the installed program plus a day). Copies
// the installed "version.txt" to the map root.
bool xr_check_packages(const XrCardSetup& setup);
