// The helper's calls of the old gpsd client interface (open, raw-mode query,
// close) on top of the current libgps.
#pragma once

struct gps_data_t;

// Connects to gpsd. A null host or port takes the defaults: the local host,
// and the port in the environment variable KESTROVA_GPSD_PORT when set, else
// gpsd's own port. Null on failure, with errno set.
gps_data_t* xr_gps_open(const char* host, const char* port);

// Sends a request of the old protocol. Only "r1\n" (raw mode on) is known:
// the connection is switched to NMEA output and gpsd's replies to the switch
// are taken off the socket, so that from then on it carries only the
// receiver's NMEA sentences, in whole lines. 0 on success, -1 on failure.
int xr_gps_query(gps_data_t* gps, const char* request);

// The socket to read the sentences from.
int xr_gps_fd(const gps_data_t* gps);

// Closes the connection and frees it.
int xr_gps_close(gps_data_t* gps);
