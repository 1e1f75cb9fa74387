/* Our stand-in for the platform's libconic: Internet connections through
 * access points (IAPs), their connection events and the proxy settings.
 *
 * The "connection daemon" behind it is a little state held in the process:
 * a list of access points (by default one, "standin-iap") and the link that
 * is up (none at first). A connection object asks for a link with
 * con_ic_connection_connect (any access point) or _connect_by_id; by default
 * the link comes up on the next idle turn of the GLib main loop and every
 * interested connection object gets a "connection-event" with the status
 * CON_IC_STATUS_CONNECTED. A connect flagged CON_IC_CONNECT_FLAG_AUTOMATICALLY_TRIGGERED
 * only reports a link that is already up. The proxy is taken from the
 * environment variable http_proxy ("http://host:port/" or "host:port") each
 * time it is asked for; without it the proxy mode is CON_IC_PROXY_MODE_NONE.
 *
 * Tests steer the daemon with the con_ic_standin_* functions at the end:
 * a connect may fail, be refused, be delayed or never be answered, and the
 * link may be dropped.
 */
#ifndef CONIC_H
#define CONIC_H

#include <glib-object.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- events */

typedef struct _ConIcEvent ConIcEvent;
typedef struct _ConIcEventClass ConIcEventClass;
typedef struct _ConIcConnectionEvent ConIcConnectionEvent;
typedef struct _ConIcConnectionEventClass ConIcConnectionEventClass;

GType con_ic_event_get_type(void);
GType con_ic_connection_event_get_type(void);
#define CON_IC_TYPE_EVENT (con_ic_event_get_type())
#define CON_IC_EVENT(o) (G_TYPE_CHECK_INSTANCE_CAST((o), CON_IC_TYPE_EVENT, ConIcEvent))
#define CON_IC_TYPE_CONNECTION_EVENT (con_ic_connection_event_get_type())
#define CON_IC_CONNECTION_EVENT(o) \
    (G_TYPE_CHECK_INSTANCE_CAST((o), CON_IC_TYPE_CONNECTION_EVENT, ConIcConnectionEvent))

typedef enum {
    CON_IC_STATUS_CONNECTED,
    CON_IC_STATUS_DISCONNECTED,
    CON_IC_STATUS_DISCONNECTING,
    CON_IC_STATUS_NETWORK_UP
} ConIcConnectionStatus;

typedef enum {
    CON_IC_CONNECTION_ERROR_NONE,
    CON_IC_CONNECTION_ERROR_INVALID_IAP,
    CON_IC_CONNECTION_ERROR_CONNECTION_FAILED,
    CON_IC_CONNECTION_ERROR_USER_CANCELED
} ConIcConnectionError;

/* The access point the event is about; NULL when none was named. */
const gchar* con_ic_event_get_iap_id(ConIcEvent* event);
ConIcConnectionStatus con_ic_connection_event_get_status(ConIcConnectionEvent* event);
ConIcConnectionError con_ic_connection_event_get_error(ConIcConnectionEvent* event);

/* ---- access points */

typedef struct _ConIcIap ConIcIap;
typedef struct _ConIcIapClass ConIcIapClass;

GType con_ic_iap_get_type(void);
#define CON_IC_TYPE_IAP (con_ic_iap_get_type())
#define CON_IC_IAP(o) (G_TYPE_CHECK_INSTANCE_CAST((o), CON_IC_TYPE_IAP, ConIcIap))

const gchar* con_ic_iap_get_id(ConIcIap* iap);
const gchar* con_ic_iap_get_name(ConIcIap* iap);

/* ---- connections */

typedef struct _ConIcConnection ConIcConnection;
typedef struct _ConIcConnectionClass ConIcConnectionClass;

GType con_ic_connection_get_type(void);
#define CON_IC_TYPE_CONNECTION (con_ic_connection_get_type())
#define CON_IC_CONNECTION(o) (G_TYPE_CHECK_INSTANCE_CAST((o), CON_IC_TYPE_CONNECTION, ConIcConnection))

typedef enum {
    CON_IC_CONNECT_FLAG_NONE = 0,
    /* Only report a link that is up; never start one. */
    CON_IC_CONNECT_FLAG_AUTOMATICALLY_TRIGGERED = 1 << 0,
    CON_IC_CONNECT_FLAG_UNMANAGED = 1 << 1
} ConIcConnectFlags;

typedef enum {
    CON_IC_PROXY_MODE_NONE,
    CON_IC_PROXY_MODE_MANUAL,
    CON_IC_PROXY_MODE_AUTO
} ConIcProxyMode;

typedef enum {
    CON_IC_PROXY_PROTOCOL_HTTP,
    CON_IC_PROXY_PROTOCOL_HTTPS,
    CON_IC_PROXY_PROTOCOL_FTP,
    CON_IC_PROXY_PROTOCOL_SOCKS,
    CON_IC_PROXY_PROTOCOL_RTSP
} ConIcProxyProtocol;

/* A new connection object (a GObject with the boolean property
 * "automatic-connection-events" and the signal "connection-event",
 * void handler(ConIcConnection*, ConIcConnectionEvent*, gpointer)). With the
 * property set it hears of every link change, else only of its own requests. */
ConIcConnection* con_ic_connection_new(void);
/* Asks for a link through any access point; FALSE when the request is refused. */
gboolean con_ic_connection_connect(ConIcConnection* connection, ConIcConnectFlags flags);
/* Asks for a link through the access point id; an unknown id fails with
 * CON_IC_CONNECTION_ERROR_INVALID_IAP. */
gboolean con_ic_connection_connect_by_id(ConIcConnection* connection, const gchar* id, ConIcConnectFlags flags);
/* Takes the link down (any, or only when it is through id). */
gboolean con_ic_connection_disconnect(ConIcConnection* connection);
gboolean con_ic_connection_disconnect_by_id(ConIcConnection* connection, const gchar* id);
ConIcProxyMode con_ic_connection_get_proxy_mode(ConIcConnection* connection);
/* Valid until the next proxy query. */
const gchar* con_ic_connection_get_proxy_host(ConIcConnection* connection, ConIcProxyProtocol protocol);
gint con_ic_connection_get_proxy_port(ConIcConnection* connection, ConIcProxyProtocol protocol);
/* Every access point: a list of new ConIcIap references; the caller unrefs
 * them and frees the list. */
GSList* con_ic_connection_get_all_iaps(ConIcConnection* connection);

/* ---- stand-in controls (tests) */

typedef enum {
    CON_IC_STANDIN_CONNECT,  /* the link comes up (default) */
    CON_IC_STANDIN_FAIL,     /* DISCONNECTED with CON_IC_CONNECTION_ERROR_CONNECTION_FAILED */
    CON_IC_STANDIN_REFUSE,   /* the connect call answers FALSE */
    CON_IC_STANDIN_SILENT    /* the request is never answered */
} ConIcStandinMode;

/* Back to the defaults: no link, one access point "standin-iap", mode
 * CON_IC_STANDIN_CONNECT without delay, counters at 0; pending answers are
 * dropped. */
void con_ic_standin_reset(void);
void con_ic_standin_set_mode(ConIcStandinMode mode);
/* Answers come after delay_ms milliseconds (0: on the next idle turn). */
void con_ic_standin_set_delay(guint delay_ms);
/* Replaces the access points by the NULL-terminated list of ids (each id is
 * also its name). */
void con_ic_standin_set_iaps(const gchar* const* ids);
/* The link goes down as if the network was lost: DISCONNECTED events. */
void con_ic_standin_drop_link(void);
/* The access point of the link that is up, or NULL. */
const gchar* con_ic_standin_link(void);
/* Connect and disconnect requests seen since the last reset. */
guint con_ic_standin_connect_count(void);
guint con_ic_standin_disconnect_count(void);

#ifdef __cplusplus
}
#endif

#endif
