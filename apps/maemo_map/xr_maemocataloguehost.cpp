#include "apps/maemo_map/xr_maemocataloguehost.h"

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/ui/dialog/xr_commondialogs.h"

XrString XrMaemoCatalogueHost::get_voice_folder_name()
{
    if (auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider")) {
        const XrString& name = settings->get_soundset();
        if (!name.is_empty())
            return name;
    }
    return XrCatalogueHost::get_default()->get_voice_folder_name();
}

void XrMaemoCatalogueHost::show_error_msg(const XrString& title, const XrString& message)
{
    XrCommonDialogs::show_error_msg(title, message, nullptr);
}
