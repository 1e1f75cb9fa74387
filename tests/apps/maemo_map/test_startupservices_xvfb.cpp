// The services start-up registers, read back from the running program: with
// KESTROVA_REGISTRY_DUMP naming a file, the navigator writes there the names
// it registered (and the service channel it acquired), in their order.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "navigator_run.h"

namespace {

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(StartupServicesTest, EveryServiceIsRegisteredInItsOrder)
{
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun run(root);
    const std::string dump = root.dir() + "/registry.txt";
    run.start({"KESTROVA_REGISTRY_DUMP=" + dump});
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (!std::filesystem::exists(dump) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(std::filesystem::exists(dump)) << run.output();

    const std::vector<std::string> expected = {
        // The controller's constructor.
        "XrGlobalBusyDialog",
        "XrDialogManager",
        // construct.
        "XrAppSettingsProvider",
        "XrMapProvider",
        "XrMapSettingsProvider",
        "XrGpsProvider",
        "XrServCom",
        "XrPoiProvider",
        "XrRoadblocksProvider",
        "XrSystem",
        "XrLocationDetailsProvider",
        "XrFavouritesProvider",
        "XrHistoryProvider",
        "XrMapViewProvider",
        "XrServiceProvider",
        "XrRouteProvider",
        "XrPoiSearchProvider",
        "XrAddrSearchProvider",
        "XrCitySearchProvider",
        "XrContactSearchProvider",
        "XrParkingProvider",
        "XrApplicationProvider",
        "XrUserPositionProvider",
        "XrPositionProvider",
    };
    EXPECT_EQ(lines_of(XrTempRoot::read_file(dump)), expected);
    // The program goes on running and ends normally.
    EXPECT_EQ(run.wait_exit(2), -1) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
