#include "platform/gpsbt/gpsbt.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void set_error(char *error_buf, int error_buf_max_len, const char *text)
{
    if (error_buf != NULL && error_buf_max_len > 0)
        snprintf(error_buf, (size_t)error_buf_max_len, "%s", text);
}

int gpsbt_start(char *bda, int our_debug_level, int gps_debug_level, short port,
                char *error_buf, int error_buf_max_len, int timeout_ms, gpsbt_t *ctx)
{
    (void)bda;
    (void)gps_debug_level;
    (void)timeout_ms;
    const char *answer = getenv("KESTROVA_GPSBT_START");

    set_error(error_buf, error_buf_max_len, "");
    if (ctx == NULL) {
        set_error(error_buf, error_buf_max_len, "No context");
        errno = EINVAL;
        return -1;
    }
    if (answer != NULL && strcmp(answer, "cancel") == 0) {
        set_error(error_buf, error_buf_max_len, "Receiver selection cancelled");
        errno = ECANCELED;
        return -1;
    }
    if (answer != NULL && strcmp(answer, "nodata") == 0) {
        set_error(error_buf, error_buf_max_len, "No receiver selected");
        errno = ENODATA;
        return -1;
    }
    if (answer != NULL && *answer != '\0' && strcmp(answer, "ok") != 0) {
        set_error(error_buf, error_buf_max_len, answer);
        errno = EIO;
        return -1;
    }
    memset(ctx, 0, sizeof(*ctx));
    ctx->mgr.running = 1;
    ctx->mgr.port = port;
    ctx->debug_level = our_debug_level;
    return 0;
}

int gpsbt_stop(gpsbt_t *ctx)
{
    if (ctx == NULL) {
        errno = EINVAL;
        return -1;
    }
    ctx->mgr.running = 0;
    return 0;
}
