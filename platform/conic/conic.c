/* Our stand-in for libconic; see conic.h. */
#include "conic.h"

#include <stdlib.h>
#include <string.h>

/* ---- event objects */

struct _ConIcEvent {
    GObject parent;
    gchar* iap_id;
};

struct _ConIcEventClass {
    GObjectClass parent_class;
};

G_DEFINE_TYPE(ConIcEvent, con_ic_event, G_TYPE_OBJECT)

static void con_ic_event_finalize(GObject* object)
{
    g_free(CON_IC_EVENT(object)->iap_id);
    G_OBJECT_CLASS(con_ic_event_parent_class)->finalize(object);
}

static void con_ic_event_class_init(ConIcEventClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = con_ic_event_finalize;
}

static void con_ic_event_init(ConIcEvent* event)
{
    event->iap_id = NULL;
}

const gchar* con_ic_event_get_iap_id(ConIcEvent* event)
{
    return event->iap_id;
}

struct _ConIcConnectionEvent {
    ConIcEvent parent;
    ConIcConnectionStatus status;
    ConIcConnectionError error;
};

struct _ConIcConnectionEventClass {
    ConIcEventClass parent_class;
};

G_DEFINE_TYPE(ConIcConnectionEvent, con_ic_connection_event, CON_IC_TYPE_EVENT)

static void con_ic_connection_event_class_init(ConIcConnectionEventClass* klass)
{
    (void)klass;
}

static void con_ic_connection_event_init(ConIcConnectionEvent* event)
{
    event->status = CON_IC_STATUS_DISCONNECTED;
    event->error = CON_IC_CONNECTION_ERROR_NONE;
}

ConIcConnectionStatus con_ic_connection_event_get_status(ConIcConnectionEvent* event)
{
    return event->status;
}

ConIcConnectionError con_ic_connection_event_get_error(ConIcConnectionEvent* event)
{
    return event->error;
}

/* ---- access point objects */

struct _ConIcIap {
    GObject parent;
    gchar* id;
    gchar* name;
};

struct _ConIcIapClass {
    GObjectClass parent_class;
};

G_DEFINE_TYPE(ConIcIap, con_ic_iap, G_TYPE_OBJECT)

static void con_ic_iap_finalize(GObject* object)
{
    ConIcIap* iap = CON_IC_IAP(object);
    g_free(iap->id);
    g_free(iap->name);
    G_OBJECT_CLASS(con_ic_iap_parent_class)->finalize(object);
}

static void con_ic_iap_class_init(ConIcIapClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = con_ic_iap_finalize;
}

static void con_ic_iap_init(ConIcIap* iap)
{
    iap->id = NULL;
    iap->name = NULL;
}

const gchar* con_ic_iap_get_id(ConIcIap* iap)
{
    return iap->id;
}

const gchar* con_ic_iap_get_name(ConIcIap* iap)
{
    return iap->name;
}

/* ---- connection objects */

struct _ConIcConnection {
    GObject parent;
    gboolean automatic_events;
};

struct _ConIcConnectionClass {
    GObjectClass parent_class;
};

enum { PROP_0, PROP_AUTOMATIC_CONNECTION_EVENTS };
enum { SIGNAL_CONNECTION_EVENT, SIGNAL_COUNT };
static guint connection_signals[SIGNAL_COUNT];

G_DEFINE_TYPE(ConIcConnection, con_ic_connection, G_TYPE_OBJECT)

/* ---- the connection daemon */

typedef enum { ANSWER_CONNECTED, ANSWER_FAILED, ANSWER_DISCONNECTED } AnswerKind;

/* An answer to a request, due on the main loop. */
typedef struct {
    ConIcConnection* requester; /* referenced */
    AnswerKind kind;
    gchar* iap_id;              /* NULL: any access point */
    ConIcConnectionError error;
    guint source;
} Answer;

static gboolean daemon_ready = FALSE;
static GPtrArray* daemon_iaps;   /* gchar* ids */
static gchar* link_id;           /* NULL while no link is up */
static ConIcStandinMode daemon_mode = CON_IC_STANDIN_CONNECT;
static guint daemon_delay_ms;
static guint connect_count;
static guint disconnect_count;
static GSList* live_connections; /* not referenced */
static GSList* pending_answers;
static gchar* proxy_host;

static void daemon_init(void)
{
    if (daemon_ready)
        return;
    daemon_ready = TRUE;
    daemon_iaps = g_ptr_array_new_with_free_func(g_free);
    g_ptr_array_add(daemon_iaps, g_strdup("standin-iap"));
}

static gboolean daemon_knows(const gchar* id)
{
    guint i;
    for (i = 0; i < daemon_iaps->len; ++i) {
        if (strcmp(g_ptr_array_index(daemon_iaps, i), id) == 0)
            return TRUE;
    }
    return FALSE;
}

/* Sends one event to the requester and, when wanted, to every connection
 * object that hears of every link change. */
static void emit_event(ConIcConnection* requester, gboolean to_all, ConIcConnectionStatus status,
                       const gchar* iap_id, ConIcConnectionError error)
{
    GSList* targets = NULL;
    GSList* l;
    ConIcConnectionEvent* event = g_object_new(CON_IC_TYPE_CONNECTION_EVENT, NULL);
    event->status = status;
    event->error = error;
    CON_IC_EVENT(event)->iap_id = g_strdup(iap_id);
    if (requester != NULL)
        targets = g_slist_append(targets, g_object_ref(requester));
    if (to_all) {
        for (l = live_connections; l != NULL; l = l->next) {
            ConIcConnection* c = l->data;
            if (c != requester && c->automatic_events)
                targets = g_slist_append(targets, g_object_ref(c));
        }
    }
    for (l = targets; l != NULL; l = l->next)
        g_signal_emit(l->data, connection_signals[SIGNAL_CONNECTION_EVENT], 0, event);
    g_slist_free_full(targets, g_object_unref);
    g_object_unref(event);
}

static void answer_free(Answer* answer)
{
    g_object_unref(answer->requester);
    g_free(answer->iap_id);
    g_free(answer);
}

static gboolean answer_due(gpointer data)
{
    Answer* answer = data;
    pending_answers = g_slist_remove(pending_answers, answer);
    switch (answer->kind) {
    case ANSWER_CONNECTED: {
        const gchar* id = answer->iap_id;
        if (id == NULL)
            id = link_id != NULL ? link_id : (daemon_iaps->len > 0 ? g_ptr_array_index(daemon_iaps, 0) : NULL);
        if (id == NULL) {
            emit_event(answer->requester, FALSE, CON_IC_STATUS_DISCONNECTED, NULL,
                       CON_IC_CONNECTION_ERROR_INVALID_IAP);
            break;
        }
        if (link_id != NULL && strcmp(link_id, id) != 0) {
            gchar* old = link_id;
            link_id = NULL;
            emit_event(NULL, TRUE, CON_IC_STATUS_DISCONNECTED, old, CON_IC_CONNECTION_ERROR_NONE);
            g_free(old);
        }
        if (link_id == NULL)
            link_id = g_strdup(id);
        emit_event(answer->requester, TRUE, CON_IC_STATUS_CONNECTED, link_id, CON_IC_CONNECTION_ERROR_NONE);
        break;
    }
    case ANSWER_FAILED:
        emit_event(answer->requester, FALSE, CON_IC_STATUS_DISCONNECTED, answer->iap_id, answer->error);
        break;
    case ANSWER_DISCONNECTED:
        emit_event(answer->requester, TRUE, CON_IC_STATUS_DISCONNECTED, answer->iap_id,
                   CON_IC_CONNECTION_ERROR_NONE);
        break;
    }
    answer_free(answer);
    return G_SOURCE_REMOVE;
}

static void post_answer(ConIcConnection* requester, AnswerKind kind, const gchar* iap_id, ConIcConnectionError error,
                        gboolean immediate)
{
    Answer* answer = g_new0(Answer, 1);
    answer->requester = g_object_ref(requester);
    answer->kind = kind;
    answer->iap_id = g_strdup(iap_id);
    answer->error = error;
    if (immediate || daemon_delay_ms == 0)
        answer->source = g_idle_add(answer_due, answer);
    else
        answer->source = g_timeout_add(daemon_delay_ms, answer_due, answer);
    pending_answers = g_slist_prepend(pending_answers, answer);
}

static gboolean request_link(ConIcConnection* connection, const gchar* id, ConIcConnectFlags flags)
{
    daemon_init();
    if (flags & CON_IC_CONNECT_FLAG_AUTOMATICALLY_TRIGGERED) {
        if (link_id != NULL && (id == NULL || strcmp(id, link_id) == 0))
            post_answer(connection, ANSWER_CONNECTED, link_id, CON_IC_CONNECTION_ERROR_NONE, TRUE);
        return TRUE;
    }
    ++connect_count;
    switch (daemon_mode) {
    case CON_IC_STANDIN_REFUSE:
        return FALSE;
    case CON_IC_STANDIN_SILENT:
        return TRUE;
    case CON_IC_STANDIN_FAIL:
        post_answer(connection, ANSWER_FAILED, id, CON_IC_CONNECTION_ERROR_CONNECTION_FAILED, FALSE);
        return TRUE;
    case CON_IC_STANDIN_CONNECT:
        break;
    }
    if (id != NULL && !daemon_knows(id))
        post_answer(connection, ANSWER_FAILED, id, CON_IC_CONNECTION_ERROR_INVALID_IAP, FALSE);
    else
        post_answer(connection, ANSWER_CONNECTED, id, CON_IC_CONNECTION_ERROR_NONE, FALSE);
    return TRUE;
}

static gboolean drop_link(ConIcConnection* connection, const gchar* id)
{
    daemon_init();
    ++disconnect_count;
    if (link_id == NULL || (id != NULL && strcmp(id, link_id) != 0))
        return TRUE;
    post_answer(connection, ANSWER_DISCONNECTED, link_id, CON_IC_CONNECTION_ERROR_NONE, TRUE);
    g_free(link_id);
    link_id = NULL;
    return TRUE;
}

/* ---- the connection object */

static void con_ic_connection_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    ConIcConnection* connection = CON_IC_CONNECTION(object);
    if (id == PROP_AUTOMATIC_CONNECTION_EVENTS)
        connection->automatic_events = g_value_get_boolean(value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void con_ic_connection_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    ConIcConnection* connection = CON_IC_CONNECTION(object);
    if (id == PROP_AUTOMATIC_CONNECTION_EVENTS)
        g_value_set_boolean(value, connection->automatic_events);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void con_ic_connection_finalize(GObject* object)
{
    live_connections = g_slist_remove(live_connections, object);
    G_OBJECT_CLASS(con_ic_connection_parent_class)->finalize(object);
}

static void con_ic_connection_class_init(ConIcConnectionClass* klass)
{
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = con_ic_connection_set_property;
    object_class->get_property = con_ic_connection_get_property;
    object_class->finalize = con_ic_connection_finalize;
    g_object_class_install_property(
        object_class, PROP_AUTOMATIC_CONNECTION_EVENTS,
        g_param_spec_boolean("automatic-connection-events", "Automatic connection events",
                             "Hear of every link change, not only of own requests", FALSE, G_PARAM_READWRITE));
    connection_signals[SIGNAL_CONNECTION_EVENT] =
        g_signal_new("connection-event", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, NULL, NULL,
                     g_cclosure_marshal_VOID__OBJECT, G_TYPE_NONE, 1, CON_IC_TYPE_CONNECTION_EVENT);
}

static void con_ic_connection_init(ConIcConnection* connection)
{
    connection->automatic_events = FALSE;
    live_connections = g_slist_prepend(live_connections, connection);
}

ConIcConnection* con_ic_connection_new(void)
{
    daemon_init();
    return g_object_new(CON_IC_TYPE_CONNECTION, NULL);
}

gboolean con_ic_connection_connect(ConIcConnection* connection, ConIcConnectFlags flags)
{
    g_return_val_if_fail(connection != NULL, FALSE);
    return request_link(connection, NULL, flags);
}

gboolean con_ic_connection_connect_by_id(ConIcConnection* connection, const gchar* id, ConIcConnectFlags flags)
{
    g_return_val_if_fail(connection != NULL && id != NULL, FALSE);
    return request_link(connection, id, flags);
}

gboolean con_ic_connection_disconnect(ConIcConnection* connection)
{
    g_return_val_if_fail(connection != NULL, FALSE);
    return drop_link(connection, NULL);
}

gboolean con_ic_connection_disconnect_by_id(ConIcConnection* connection, const gchar* id)
{
    g_return_val_if_fail(connection != NULL && id != NULL, FALSE);
    return drop_link(connection, id);
}

/* Host and port of http_proxy; FALSE when it is unset or names no host. */
static gboolean read_proxy(gint* port)
{
    const char* env = getenv("http_proxy");
    const char* p;
    const char* end;
    g_free(proxy_host);
    proxy_host = NULL;
    if (env == NULL || *env == '\0')
        return FALSE;
    p = strstr(env, "://");
    p = p != NULL ? p + 3 : env;
    end = p + strcspn(p, ":/");
    if (end == p)
        return FALSE;
    proxy_host = g_strndup(p, (gsize)(end - p));
    *port = 8080;
    if (*end == ':' && end[1] >= '0' && end[1] <= '9') {
        long value = strtol(end + 1, NULL, 10);
        *port = value > 0 && value < 65536 ? (gint)value : 8080;
    }
    return TRUE;
}

ConIcProxyMode con_ic_connection_get_proxy_mode(ConIcConnection* connection)
{
    gint port;
    (void)connection;
    return read_proxy(&port) ? CON_IC_PROXY_MODE_MANUAL : CON_IC_PROXY_MODE_NONE;
}

const gchar* con_ic_connection_get_proxy_host(ConIcConnection* connection, ConIcProxyProtocol protocol)
{
    gint port;
    (void)connection;
    if (protocol != CON_IC_PROXY_PROTOCOL_HTTP || !read_proxy(&port))
        return NULL;
    return proxy_host;
}

gint con_ic_connection_get_proxy_port(ConIcConnection* connection, ConIcProxyProtocol protocol)
{
    gint port = 0;
    (void)connection;
    if (protocol != CON_IC_PROXY_PROTOCOL_HTTP || !read_proxy(&port))
        return 0;
    return port;
}

GSList* con_ic_connection_get_all_iaps(ConIcConnection* connection)
{
    GSList* list = NULL;
    guint i;
    (void)connection;
    daemon_init();
    for (i = daemon_iaps->len; i > 0; --i) {
        ConIcIap* iap = g_object_new(CON_IC_TYPE_IAP, NULL);
        iap->id = g_strdup(g_ptr_array_index(daemon_iaps, i - 1));
        iap->name = g_strdup(iap->id);
        list = g_slist_prepend(list, iap);
    }
    return list;
}

/* ---- stand-in controls */

void con_ic_standin_reset(void)
{
    daemon_init();
    while (pending_answers != NULL) {
        Answer* answer = pending_answers->data;
        pending_answers = g_slist_delete_link(pending_answers, pending_answers);
        g_source_remove(answer->source);
        answer_free(answer);
    }
    g_ptr_array_set_size(daemon_iaps, 0);
    g_ptr_array_add(daemon_iaps, g_strdup("standin-iap"));
    g_free(link_id);
    link_id = NULL;
    daemon_mode = CON_IC_STANDIN_CONNECT;
    daemon_delay_ms = 0;
    connect_count = 0;
    disconnect_count = 0;
}

void con_ic_standin_set_mode(ConIcStandinMode mode)
{
    daemon_mode = mode;
}

void con_ic_standin_set_delay(guint delay_ms)
{
    daemon_delay_ms = delay_ms;
}

void con_ic_standin_set_iaps(const gchar* const* ids)
{
    daemon_init();
    g_ptr_array_set_size(daemon_iaps, 0);
    for (; ids != NULL && *ids != NULL; ++ids)
        g_ptr_array_add(daemon_iaps, g_strdup(*ids));
}

void con_ic_standin_drop_link(void)
{
    gchar* old;
    daemon_init();
    if (link_id == NULL)
        return;
    old = link_id;
    link_id = NULL;
    emit_event(NULL, TRUE, CON_IC_STATUS_DISCONNECTED, old, CON_IC_CONNECTION_ERROR_NONE);
    g_free(old);
}

const gchar* con_ic_standin_link(void)
{
    return link_id;
}

guint con_ic_standin_connect_count(void)
{
    return connect_count;
}

guint con_ic_standin_disconnect_count(void)
{
    return disconnect_count;
}
