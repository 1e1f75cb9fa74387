/* Our stand-in for the platform's libgpsbt (with the libgpsmgr context it
 * keeps): starting and stopping GPS over Bluetooth for the gpsd helper.
 *
 * It starts nothing: gpsd is expected to run already and to listen on the
 * loopback interface. The environment variable KESTROVA_GPSBT_START chooses
 * what gpsbt_start answers:
 *   unset, empty or "ok"  success (0)
 *   "cancel"              the receiver dialog was cancelled: -1, errno ECANCELED
 *   "nodata"              no receiver was chosen: -1, errno ENODATA
 *   any other value       the start failed: -1, errno EIO; the value is the error text
 */
#ifndef GPSBT_H
#define GPSBT_H

#ifdef __cplusplus
extern "C" {
#endif

/* The GPS manager's part of the context. */
typedef struct {
    int running;     /* 1 while gpsd is considered started */
    short port;      /* the port asked for, 0 for gpsd's default */
} gpsmgr_t;

typedef struct {
    gpsmgr_t mgr;
    int debug_level;
} gpsbt_t;

/* Starts GPS over Bluetooth. bda: the receiver's address, or NULL to let the
 * library choose (or ask the user); error_buf receives an error text of at
 * most error_buf_max_len bytes (NUL included). 0 on success; a negative
 * result is a failure with errno set. */
int gpsbt_start(char *bda, int our_debug_level, int gps_debug_level, short port,
                char *error_buf, int error_buf_max_len, int timeout_ms, gpsbt_t *ctx);

/* Stops what gpsbt_start started; a zeroed context is accepted. 0 on success. */
int gpsbt_stop(gpsbt_t *ctx);

#ifdef __cplusplus
}
#endif

#endif
