// The route layer's host in the application: the voice root it answers is
// the card's sounds folder in the platform's form, a folder the layer can
// look at as it is.
#include "apps/apps_common/xr_appmaplayers.h"
#include "common/misc/xr_path_resolver.h"
#include "tests/support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <string>

namespace {

TEST(AppRouteLayerHost, SoundsPathIsTheCardsSoundsFolder)
{
    std::setlocale(LC_ALL, "C");
    XrTempRoot root;
    root.make_dirs("/media/mmc1/map/kestrova/sounds/sound_eng");
    const std::wstring card = std::wstring(root.dir().begin(), root.dir().end()) + L"/media/mmc1/map/";
    XrPathResolver resolver(card.c_str());
    set_path_resolver(&resolver);
    XrAppRouteLayerHost host(nullptr, [](void*) -> XrMapWindow* { return nullptr; }, nullptr);
    const XrString path = host.get_sounds_path();
    set_path_resolver(nullptr);

    std::string narrow;
    for (int i = 0; i < path.length(); ++i)
        narrow.push_back(static_cast<char>(path.c_str()[i]));
    EXPECT_EQ(narrow, root.dir() + "/media/mmc1/map/kestrova/sounds");
    struct stat st;
    EXPECT_TRUE(stat(narrow.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

} // namespace
