/* Our stand-in for libosso; see libosso.h. */
#include "libosso.h"

#include <gio/gio.h>
#include <stdlib.h>

#include <stdarg.h>
#include <string.h>

struct osso_af_context_t {
    gchar* application;
    gchar* version;
    osso_hw_cb_f* hw_cb;
    gpointer hw_data;
    gboolean hw_all;
    osso_hw_state_t hw_mask;
    osso_application_top_cb_f* top_cb;
    gpointer top_data;
    osso_rpc_cb_f* rpc_cb;
    gpointer rpc_data;
    osso_display_event_cb_f* display_cb;
    gpointer display_data;
    GDBusConnection* bus;
    guint object_id;
};

typedef struct {
    gchar* service;
    gchar* method;
    gchar* argument;
} RpcCall;

static GSList* contexts;
static gboolean init_fails;
static osso_return_t rpc_result = OSSO_OK;
static GPtrArray* rpc_calls;
static gchar* browser_command;
static gboolean browser_set;
static guint display_on_count;
static guint blanking_pause_count;

static void rpc_call_free(gpointer data)
{
    RpcCall* call = data;
    g_free(call->service);
    g_free(call->method);
    g_free(call->argument);
    g_free(call);
}

static gint deliver_rpc(osso_context_t* osso, const gchar* method)
{
    osso_rpc_t retval;
    memset(&retval, 0, sizeof retval);
    if (osso->rpc_cb == NULL)
        return OSSO_ERROR;
    return osso->rpc_cb(osso->application, method, NULL, osso->rpc_data, &retval);
}

static void on_bus_call(GDBusConnection* bus, const gchar* sender, const gchar* path, const gchar* interface,
                        const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                        gpointer data)
{
    osso_context_t* osso = data;
    (void)bus;
    (void)sender;
    (void)path;
    (void)interface;
    (void)parameters;
    if (g_slist_find(contexts, osso) != NULL) {
        if (osso->top_cb != NULL)
            osso->top_cb(NULL, osso->top_data);
        deliver_rpc(osso, method);
    }
    g_dbus_method_invocation_return_value(invocation, NULL);
}

static const GDBusInterfaceVTable bus_vtable = {on_bus_call, NULL, NULL, {0}};

/* The service name, object path and interface of an application. */
static void bus_names(const gchar* application, gchar** name, gchar** path)
{
    *name = g_strdup_printf("com.nokia.%s", application);
    *path = g_strdup_printf("/com/nokia/%s", application);
}

/* With a session bus: owns the application's service name and answers its
 * "top_application" calls. When another process owns the name, that one
 * is asked to come to the top and this process ends with status 0, as a
 * second activation of a running service does. */
static void claim_service(osso_context_t* osso)
{
    GError* error = NULL;
    gchar *name, *path, *xml;
    GVariant* reply;
    guint32 result = 0;
    GDBusNodeInfo* node;
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") == NULL)
        return;
    osso->bus = g_bus_get_sync(G_BUS_TYPE_SESSION, NULL, &error);
    if (osso->bus == NULL) {
        g_clear_error(&error);
        return;
    }
    bus_names(osso->application, &name, &path);
    reply = g_dbus_connection_call_sync(osso->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                        "org.freedesktop.DBus", "RequestName", g_variant_new("(su)", name, 4u),
                                        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, NULL, &error);
    if (reply != NULL) {
        g_variant_get(reply, "(u)", &result);
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    if (result == 3) { /* DBUS_REQUEST_NAME_REPLY_EXISTS */
        reply = g_dbus_connection_call_sync(osso->bus, name, path, name, "top_application", NULL, NULL,
                                            G_DBUS_CALL_FLAGS_NONE, 5000, NULL, NULL);
        if (reply != NULL)
            g_variant_unref(reply);
        exit(0);
    }
    xml = g_strdup_printf("<node><interface name='%s'><method name='top_application'/></interface></node>", name);
    node = g_dbus_node_info_new_for_xml(xml, NULL);
    if (node != NULL) {
        osso->object_id =
            g_dbus_connection_register_object(osso->bus, path, node->interfaces[0], &bus_vtable, osso, NULL, NULL);
        g_dbus_node_info_unref(node);
    }
    g_free(xml);
    g_free(name);
    g_free(path);
}

osso_context_t* osso_initialize(const gchar* application, const gchar* version, gboolean activation,
                                GMainContext* context)
{
    osso_context_t* osso;
    (void)context;
    const char* fails = g_getenv("KESTROVA_OSSO_INIT_FAILS");
    if (fails != NULL && strcmp(fails, "1") == 0)
        return NULL;
    if (init_fails || application == NULL || *application == '\0' || version == NULL || *version == '\0')
        return NULL;
    osso = g_new0(osso_context_t, 1);
    osso->application = g_strdup(application);
    osso->version = g_strdup(version);
    contexts = g_slist_prepend(contexts, osso);
    if (activation)
        claim_service(osso);
    return osso;
}

void osso_deinitialize(osso_context_t* osso)
{
    if (osso == NULL)
        return;
    contexts = g_slist_remove(contexts, osso);
    if (osso->bus != NULL) {
        if (osso->object_id != 0)
            g_dbus_connection_unregister_object(osso->bus, osso->object_id);
        g_object_unref(osso->bus);
    }
    g_free(osso->application);
    g_free(osso->version);
    g_free(osso);
}

osso_return_t osso_hw_set_event_cb(osso_context_t* osso, osso_hw_state_t* state, osso_hw_cb_f* cb, gpointer data)
{
    if (osso == NULL || cb == NULL || g_slist_find(contexts, osso) == NULL)
        return OSSO_INVALID;
    osso->hw_cb = cb;
    osso->hw_data = data;
    osso->hw_all = state == NULL;
    if (state != NULL)
        osso->hw_mask = *state;
    return OSSO_OK;
}

osso_return_t osso_hw_unset_event_cb(osso_context_t* osso, osso_hw_state_t* state)
{
    (void)state;
    if (osso == NULL || g_slist_find(contexts, osso) == NULL)
        return OSSO_INVALID;
    osso->hw_cb = NULL;
    osso->hw_data = NULL;
    return OSSO_OK;
}

static gboolean wants(const osso_context_t* osso, const osso_hw_state_t* state)
{
    const osso_hw_state_t* m = &osso->hw_mask;
    if (osso->hw_all)
        return TRUE;
    return (m->shutdown_ind && state->shutdown_ind) || (m->save_unsaved_data_ind && state->save_unsaved_data_ind) ||
           (m->memory_low_ind && state->memory_low_ind) ||
           (m->system_inactivity_ind && state->system_inactivity_ind) ||
           m->sig_device_mode_ind != OSSO_DEVMODE_NORMAL;
}

void osso_standin_emit_hw_event(const osso_hw_state_t* state)
{
    /* A callback may end its own or another context: walk a copy and call
     * only contexts that still exist. */
    GSList* copy = g_slist_copy(contexts);
    GSList* l;
    for (l = copy; l != NULL; l = l->next) {
        osso_context_t* osso = l->data;
        osso_hw_state_t event;
        if (g_slist_find(contexts, osso) == NULL || osso->hw_cb == NULL || !wants(osso, state))
            continue;
        event = *state;
        osso->hw_cb(&event, osso->hw_data);
    }
    g_slist_free(copy);
}

static void open_in_browser(const gchar* url)
{
    const gchar* command = browser_set ? browser_command : "xdg-open";
    gchar* argv[3];
    if (command == NULL || url == NULL)
        return;
    argv[0] = (gchar*)command;
    argv[1] = (gchar*)url;
    argv[2] = NULL;
    /* The page opens or not; the call itself was delivered. */
    g_spawn_async(NULL, argv, NULL, G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL,
                  NULL, NULL, NULL, NULL);
}

osso_return_t osso_rpc_run_with_defaults(osso_context_t* osso, const gchar* application, const gchar* method,
                                         osso_rpc_t* retval, int argument_type, ...)
{
    RpcCall* call;
    va_list args;
    int type = argument_type;
    if (osso == NULL || application == NULL || method == NULL)
        return OSSO_INVALID;
    call = g_new0(RpcCall, 1);
    call->service = g_strdup(application);
    call->method = g_strdup(method);
    va_start(args, argument_type);
    while (type == DBUS_TYPE_STRING) {
        const gchar* s = va_arg(args, const gchar*);
        if (call->argument == NULL)
            call->argument = g_strdup(s != NULL ? s : "");
        type = va_arg(args, int);
    }
    va_end(args);
    if (rpc_calls == NULL)
        rpc_calls = g_ptr_array_new_with_free_func(rpc_call_free);
    g_ptr_array_add(rpc_calls, call);
    if (retval != NULL) {
        retval->type = DBUS_TYPE_INVALID;
        retval->value.i = 0;
    }
    if (rpc_result != OSSO_OK)
        return rpc_result;
    if (strcmp(application, "osso_browser") == 0 && strcmp(method, "load_url") == 0)
        open_in_browser(call->argument);
    return OSSO_OK;
}

void osso_standin_reset(void)
{
    init_fails = FALSE;
    rpc_result = OSSO_OK;
    if (rpc_calls != NULL)
        g_ptr_array_set_size(rpc_calls, 0);
    g_free(browser_command);
    browser_command = NULL;
    browser_set = FALSE;
    display_on_count = 0;
    blanking_pause_count = 0;
}

void osso_standin_set_init_fails(gboolean fails)
{
    init_fails = fails;
}

void osso_standin_set_rpc_result(osso_return_t result)
{
    rpc_result = result;
}

void osso_standin_set_browser(const gchar* command)
{
    g_free(browser_command);
    browser_command = g_strdup(command);
    browser_set = TRUE;
}

guint osso_standin_rpc_count(void)
{
    return rpc_calls != NULL ? rpc_calls->len : 0;
}

gboolean osso_standin_rpc_get(guint i, const gchar** service, const gchar** method, const gchar** argument)
{
    RpcCall* call;
    if (rpc_calls == NULL || i >= rpc_calls->len)
        return FALSE;
    call = g_ptr_array_index(rpc_calls, i);
    if (service != NULL)
        *service = call->service;
    if (method != NULL)
        *method = call->method;
    if (argument != NULL)
        *argument = call->argument;
    return TRUE;
}

static gboolean known(osso_context_t* osso)
{
    return osso != NULL && g_slist_find(contexts, osso) != NULL;
}

osso_return_t osso_application_set_top_cb(osso_context_t* osso, osso_application_top_cb_f* cb, gpointer data)
{
    if (!known(osso) || cb == NULL)
        return OSSO_INVALID;
    osso->top_cb = cb;
    osso->top_data = data;
    return OSSO_OK;
}

osso_return_t osso_rpc_set_default_cb_f(osso_context_t* osso, osso_rpc_cb_f* cb, gpointer data)
{
    if (!known(osso) || cb == NULL)
        return OSSO_INVALID;
    osso->rpc_cb = cb;
    osso->rpc_data = data;
    return OSSO_OK;
}

osso_return_t osso_hw_set_display_event_cb(osso_context_t* osso, osso_display_event_cb_f* cb, gpointer data)
{
    if (!known(osso) || cb == NULL)
        return OSSO_INVALID;
    osso->display_cb = cb;
    osso->display_data = data;
    return OSSO_OK;
}

osso_return_t osso_display_state_on(osso_context_t* osso)
{
    if (!known(osso))
        return OSSO_INVALID;
    ++display_on_count;
    return OSSO_OK;
}

osso_return_t osso_display_blanking_pause(osso_context_t* osso)
{
    if (!known(osso))
        return OSSO_INVALID;
    ++blanking_pause_count;
    return OSSO_OK;
}

void osso_standin_top_request(const gchar* arguments)
{
    for (GSList* l = contexts; l != NULL; l = l->next) {
        osso_context_t* osso = l->data;
        if (osso->top_cb != NULL)
            osso->top_cb(arguments, osso->top_data);
    }
}

gint osso_standin_rpc_default(const gchar* method)
{
    gint result = OSSO_ERROR;
    for (GSList* l = contexts; l != NULL; l = l->next) {
        osso_context_t* osso = l->data;
        if (osso->rpc_cb != NULL)
            result = deliver_rpc(osso, method);
    }
    return result;
}

void osso_standin_emit_display_event(osso_display_state_t state)
{
    for (GSList* l = contexts; l != NULL; l = l->next) {
        osso_context_t* osso = l->data;
        if (osso->display_cb != NULL)
            osso->display_cb(state, osso->display_data);
    }
}

guint osso_standin_display_on_count(void)
{
    return display_on_count;
}

guint osso_standin_blanking_pause_count(void)
{
    return blanking_pause_count;
}
