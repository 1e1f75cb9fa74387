// kestrova-gpsd-helper: starts GPS over Bluetooth, connects to gpsd in raw
// mode and copies the receiver's NMEA sentences to standard output in whole
// lines, until gpsd reports over D-Bus that the receiver is gone.

#include "common/base/xr_root.h"
#include "kestrova-gpsd-helper/xr_debug_log.h"
#include "kestrova-gpsd-helper/xr_gps_compat.h"
#include "kestrova-gpsd-helper/xr_gpsd_relay.h"
#include "kestrova-gpsd-helper/xr_nmea_stream.h"
#include "platform/gpsbt/gpsbt.h"

#include <dbus/dbus-glib-lowlevel.h>
#include <dbus/dbus.h>
#include <glib-object.h>
#include <glib.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Exit statuses.
enum : int {
    EXIT_NO_NONBLOCKING_OUTPUT = 10,
    EXIT_NO_MAIN_LOOP = 11,
    EXIT_NO_DBUS = 12,
    EXIT_NO_DBUS_FILTER = 13,
    EXIT_GPSBT_FAILED = 14,
    EXIT_NO_GPSD = 15,
    EXIT_DIALOG_CANCELLED = 42,
};

constexpr const char* SERVICE_NAME = "com.kestrovatech.gpsd-helper";
constexpr const char* MATCH_RULE = "type='signal',interface='org.gpsd'";
constexpr int CONNECT_ATTEMPTS = 3;

// The process-wide state.
struct XrGpsdHelper {
    int output_fd = 1;
    XrNmeaLog nmea_log;
    XrDebugLog debug;
    bool timing = false;
    GMainLoop* loop = nullptr;
    DBusConnection* bus = nullptr;
    gpsbt_t gpsbt{};
    gps_data_t* gps = nullptr;
    std::unique_ptr<XrGpsdRelay> relay;
};

XrGpsdHelper g_helper;

void log_dbus_error(const DBusError& error)
{
    if (dbus_error_is_set(&error))
        g_helper.debug.log("D-BUS error: %s / %s", error.name, error.message);
}

void clean_up()
{
    if (g_helper.gps != nullptr) {
        xr_set_nonblocking(xr_gps_fd(g_helper.gps), false);
        xr_gps_close(g_helper.gps);
        g_helper.gps = nullptr;
    }
    gpsbt_stop(&g_helper.gpsbt);
    std::memset(&g_helper.gpsbt, 0, sizeof(g_helper.gpsbt));
}

[[noreturn]] void finish(int status)
{
    clean_up();
    std::exit(status);
}

gboolean on_gpsd_input(GIOChannel*, GIOCondition, gpointer)
{
    const int status = g_helper.relay->on_input();
    if (status != XrGpsdRelay::KEEP_RUNNING)
        finish(status);
    return TRUE;
}

DBusHandlerResult gpsd_filter(DBusConnection*, DBusMessage* message, void*)
{
    XrDebugLog& debug = g_helper.debug;
    debug.log("gpsd_filter");
    if (message == nullptr) {
        debug.log("No message");
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }
    debug.log("%s: D-BUS message `%s'", "gpsd_filter", dbus_message_type_to_string(dbus_message_get_type(message)));
    const struct {
        const char* format;
        const char* value;
    } fields[] = {
        {"  path:        %s", dbus_message_get_path(message)},
        {"  interface:   %s", dbus_message_get_interface(message)},
        {"  member:      %s", dbus_message_get_member(message)},
        {"  destination: %s", dbus_message_get_destination(message)},
        {"  sender:      %s", dbus_message_get_sender(message)},
        {"  signature:   %s", dbus_message_get_signature(message)},
    };
    for (const auto& field : fields)
        if (field.value != nullptr)
            debug.log(field.format, field.value);

    if (!dbus_message_is_signal(message, "org.gpsd", "status_changed"))
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;

    DBusError error;
    dbus_error_init(&error);
    const char* name = nullptr;
    double value = 0.0;
    if (!dbus_message_get_args(message, &error, DBUS_TYPE_STRING, &name, DBUS_TYPE_DOUBLE, &value,
                               DBUS_TYPE_INVALID)) {
        log_dbus_error(error);
        dbus_error_free(&error);
        return DBUS_HANDLER_RESULT_HANDLED;
    }
    debug.log("status_changed: %s=%f", name, value);
    if (g_helper.gps != nullptr && value == 0.0) {
        debug.log("GPSD disconnected");
        finish(0);
    }
    return DBUS_HANDLER_RESULT_HANDLED;
}

// Joins the system bus; an exit status on failure, 0 on success.
int connect_dbus()
{
    XrDebugLog& debug = g_helper.debug;
    DBusError error;
    dbus_error_init(&error);
    g_helper.bus = dbus_bus_get(DBUS_BUS_SYSTEM, &error);
    if (g_helper.bus == nullptr) {
        debug.log("Failed to initialize D-BUS connection");
        log_dbus_error(error);
        dbus_error_free(&error);
        return EXIT_NO_DBUS;
    }
    dbus_connection_setup_with_g_main(g_helper.bus, nullptr);

    dbus_error_free(&error);
    dbus_error_init(&error);
    dbus_bus_request_name(g_helper.bus, SERVICE_NAME, 0, &error);
    log_dbus_error(error);

    dbus_error_free(&error);
    dbus_error_init(&error);
    dbus_bus_add_match(g_helper.bus, MATCH_RULE, &error);
    log_dbus_error(error);
    dbus_error_free(&error);

    if (!dbus_connection_add_filter(g_helper.bus, gpsd_filter, nullptr, nullptr)) {
        debug.log("Failed to set GPSD D-BUS filter");
        return EXIT_NO_DBUS_FILTER;
    }
    return 0;
}

// Starts GPS over Bluetooth; an exit status on failure, 0 on success.
int start_gpsbt()
{
    char error_text[1024] = "";
    const int rc = gpsbt_start(nullptr, 0, 0, 0, error_text, sizeof(error_text), 0, &g_helper.gpsbt);
    if (rc >= 0)
        return 0;
    const int err = errno;
    g_helper.debug.log("Failed to start GPSBT: %s, ret=%d, errno=%s(%d)", error_text, rc, std::strerror(err), err);
    if (err == ECANCELED || err == ENODATA) {
        g_helper.debug.log("Got dialog cancel errno %d: exiting with magic value 42", err);
        return EXIT_DIALOG_CANCELLED;
    }
    return EXIT_GPSBT_FAILED;
}

void connect_gpsd()
{
    for (int attempt = 1;; ++attempt) {
        g_helper.gps = xr_gps_open(nullptr, nullptr);
        if (g_helper.gps != nullptr)
            return;
        const int err = errno;
        sleep(1);
        if (attempt == CONNECT_ATTEMPTS) {
            g_helper.debug.log("Failed to connect to GPSD: retries=%d, errno=%s(%d)", CONNECT_ATTEMPTS,
                               std::strerror(err), err);
            finish(EXIT_NO_GPSD);
        }
    }
}

std::string program_name(int argc, char** argv)
{
    if (argc < 1 || argv[0] == nullptr)
        return "kestrova-gpsd-helper";
    const char* slash = std::strrchr(argv[0], '/');
    return slash != nullptr ? slash + 1 : argv[0];
}

} // namespace

int main(int argc, char** argv)
{
    const long start_time = static_cast<long>(time(nullptr));
    // A closed output is an output error, not the end of the process.
    signal(SIGPIPE, SIG_IGN);
    g_helper.debug.set_program_name(program_name(argc, argv));
    g_helper.output_fd = 1;

    if (!xr_set_nonblocking(g_helper.output_fd, true))
        return EXIT_NO_NONBLOCKING_OUTPUT;

    const int pid = static_cast<int>(getpid());
    g_helper.nmea_log.open(XrRoot::path(xr_log_path("/media/mmc1/kestrova-logs/nmea-%d-%d", start_time, pid)));
    g_helper.debug.open(XrRoot::path(xr_log_path("/media/mmc1/kestrova-logs/debug/gpsd-%d-%d", start_time, pid)));
    g_helper.timing = xr_path_exists(XrRoot::path("/media/mmc1/kestrova_rd_mode/nmea_timing"));

#if !GLIB_CHECK_VERSION(2, 36, 0)
    g_type_init();
#endif
    g_helper.loop = g_main_loop_new(nullptr, TRUE);
    if (g_helper.loop == nullptr)
        return EXIT_NO_MAIN_LOOP;

    if (const int status = connect_dbus())
        return status;
    if (const int status = start_gpsbt())
        return status;

    connect_gpsd();
    XrDebugLog& debug = g_helper.debug;
    if (xr_gps_query(g_helper.gps, "r1\n") < 0) {
        debug.log("Failed to set GPSD into raw mode");
        finish(0);
    }
    const int gpsd_fd = xr_gps_fd(g_helper.gps);
    if (!xr_set_nonblocking(gpsd_fd, true)) {
        debug.log("Failed to set socket to non-blocking mode");
        finish(0);
    }
    GIOChannel* channel = g_io_channel_unix_new(gpsd_fd);
    if (channel == nullptr) {
        debug.log("Failed to create GPSD input channel");
        finish(0);
    }
    g_helper.relay = std::make_unique<XrGpsdRelay>(gpsd_fd, g_helper.output_fd, g_helper.nmea_log, g_helper.timing,
                                                   g_helper.debug);
    g_io_add_watch(channel, static_cast<GIOCondition>(G_IO_IN | G_IO_PRI | G_IO_ERR | G_IO_HUP | G_IO_NVAL),
                   on_gpsd_input, nullptr);
    g_main_loop_run(g_helper.loop);
    finish(0);
}
