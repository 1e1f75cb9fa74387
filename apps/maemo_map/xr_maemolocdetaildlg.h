// The details window of a place on the map: its latitude and longitude, the
// nearest street address, and an optional longer description. Runs modally.
#pragma once

#include "common/container/xr_string.h"
#include "common/types/xr_coordinate.h"

class XrLocationDetailsProvider;

class XrMaemoLocDetailDlg {
public:
    // The address block: street, town, region and country lines, empty
    // lines kept; all empty when the provider is missing or finds no street.
    static XrString address_text(XrLocationDetailsProvider* provider, const XrCoordinate& where);

    // Builds the window for the place, runs it until it is closed and
    // destroys it. An empty details text hides the description.
    static void run(const XrCoordinate& where, const XrString& details);
};
