/* Our stand-in for the platform's libosso: application initialisation, the
 * hardware-event callback and RPC calls with default settings (used to open
 * a web page in the browser).
 *
 * Hardware events never come from the system here: tests inject them with
 * osso_standin_emit_hw_event. Every RPC call is recorded; a call of the
 * browser's "load_url" also starts the browser command (by default
 * "xdg-open", searched in PATH, with the URL as its one argument) unless
 * that was switched off with osso_standin_set_browser(NULL).
 */
#ifndef LIBOSSO_H
#define LIBOSSO_H

#include <glib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* D-Bus argument types used in RPC argument lists. */
#ifndef DBUS_TYPE_INVALID
#define DBUS_TYPE_INVALID ((int)'\0')
#endif
#ifndef DBUS_TYPE_STRING
#define DBUS_TYPE_STRING ((int)'s')
#endif

typedef struct osso_af_context_t osso_context_t;

typedef enum {
    OSSO_OK = 0,
    OSSO_ERROR = -1,
    OSSO_INVALID = -2,
    OSSO_RPC_ERROR = -3,
    OSSO_ERROR_NAME = -4,
    OSSO_ERROR_NO_STATE = -5,
    OSSO_ERROR_STATE_SIZE = -6
} osso_return_t;

typedef enum {
    OSSO_DEVMODE_NORMAL = 0,
    OSSO_DEVMODE_FLIGHT = 1,
    OSSO_DEVMODE_OFFLINE = 2,
    OSSO_DEVMODE_INVALID = 3
} osso_devmode_t;

/* The hardware state: which indications an event carries (or, given to
 * osso_hw_set_event_cb, which ones the callback wants). */
typedef struct {
    gboolean shutdown_ind;
    gboolean save_unsaved_data_ind;
    gboolean memory_low_ind;
    gboolean system_inactivity_ind;
    osso_devmode_t sig_device_mode_ind;
} osso_hw_state_t;

typedef void(osso_hw_cb_f)(osso_hw_state_t* state, gpointer data);

typedef struct {
    int type;
    union {
        guint32 u;
        gint32 i;
        gboolean b;
        gdouble d;
        gchar* s;
    } value;
} osso_rpc_t;

/* A context for the application (name and version); NULL when application
 * or version is NULL or empty, or when a test made initialisation fail.
 * With activation and a session bus (DBUS_SESSION_BUS_ADDRESS), the context
 * owns the service "com.nokia.<application>"; its "top_application" calls
 * reach the top callback and then the default RPC callback. When a running
 * process owns the name already, it is asked to come to the top and this
 * process ends with status 0 (a second start of a running application). */
osso_context_t* osso_initialize(const gchar* application, const gchar* version, gboolean activation,
                                GMainContext* context);
/* Frees the context and its callback. */
void osso_deinitialize(osso_context_t* osso);

/* Sets the context's hardware-event callback (one per context, replacing an
 * earlier one). state names the wanted indications; NULL wants all. */
osso_return_t osso_hw_set_event_cb(osso_context_t* osso, osso_hw_state_t* state, osso_hw_cb_f* cb, gpointer data);
osso_return_t osso_hw_unset_event_cb(osso_context_t* osso, osso_hw_state_t* state);

/* Calls method of the service with the arguments that follow (type, value
 * pairs ending with DBUS_TYPE_INVALID; only DBUS_TYPE_STRING is understood,
 * other types end the list). retval may be NULL (no reply wanted). */
osso_return_t osso_rpc_run_with_defaults(osso_context_t* osso, const gchar* application, const gchar* method,
                                         osso_rpc_t* retval, int argument_type, ...);

/* Callbacks of the application's top request and of RPC calls that no
 * other handler takes; the stand-in calls them through
 * osso_standin_top_request and osso_standin_rpc_default. */
typedef void(osso_application_top_cb_f)(const gchar* arguments, gpointer data);
typedef gint(osso_rpc_cb_f)(const gchar* interface, const gchar* method, GArray* arguments, gpointer data,
                            osso_rpc_t* retval);
osso_return_t osso_application_set_top_cb(osso_context_t* osso, osso_application_top_cb_f* cb, gpointer data);
osso_return_t osso_rpc_set_default_cb_f(osso_context_t* osso, osso_rpc_cb_f* cb, gpointer data);

/* The display: its state events (on, off, dimmed), switching it on and
 * holding off blanking. The stand-in counts the two requests. */
typedef enum { OSSO_DISPLAY_ON = 0, OSSO_DISPLAY_OFF = 1, OSSO_DISPLAY_DIMMED = 2 } osso_display_state_t;
typedef void(osso_display_event_cb_f)(osso_display_state_t state, gpointer data);
osso_return_t osso_hw_set_display_event_cb(osso_context_t* osso, osso_display_event_cb_f* cb, gpointer data);
osso_return_t osso_display_state_on(osso_context_t* osso);
osso_return_t osso_display_blanking_pause(osso_context_t* osso);

/* ---- stand-in controls (tests) */

/* Initialisation also fails while the environment variable
 * KESTROVA_OSSO_INIT_FAILS is "1" (for tests of whole programs). */
/* Calls the top callback (arguments may be NULL) of every context. */
void osso_standin_top_request(const gchar* arguments);
/* Calls the default RPC callback of every context with the method; the
 * result of the last one (OSSO_ERROR without one). */
gint osso_standin_rpc_default(const gchar* method);
/* Calls the display-event callback of every context. */
void osso_standin_emit_display_event(osso_display_state_t state);
/* How often osso_display_state_on and osso_display_blanking_pause ran. */
guint osso_standin_display_on_count(void);
guint osso_standin_blanking_pause_count(void);

/* Forgets the recorded calls, initialisation succeeds again, RPC calls
 * answer OSSO_OK, the browser command is "xdg-open". */
void osso_standin_reset(void);
void osso_standin_set_init_fails(gboolean fails);
/* What RPC calls answer from now on. */
void osso_standin_set_rpc_result(osso_return_t result);
/* The program started for "load_url", NULL for none. */
void osso_standin_set_browser(const gchar* command);
/* Calls the hardware-event callback of every context that wants one of the
 * indications the state carries (a device mode other than normal counts). */
void osso_standin_emit_hw_event(const osso_hw_state_t* state);
/* The recorded RPC calls: count, and the service, method and first string
 * argument (NULL when none) of call i. */
guint osso_standin_rpc_count(void);
gboolean osso_standin_rpc_get(guint i, const gchar** service, const gchar** method, const gchar** argument);

#ifdef __cplusplus
}
#endif

#endif
