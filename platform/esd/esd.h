/* Our stand-in for the sound daemon's client library (EsounD): a connection
 * to the local daemon, samples cached in the daemon, played with a stereo
 * pan, stopped and freed.
 *
 * The "daemon" lives in the process. A connection is a file descriptor: after
 * esd_sample_cache the client writes the sample's bytes to it, and
 * esd_confirm_sample_cache takes them into the cache. Where the samples go:
 *
 * - When the environment variable KESTROVA_ESD_CAPTURE names an existing
 *   folder, each played sample is written there as a WAV file
 *   ("000001.wav", "000002.wav", ...; the bytes exactly as cached) and a
 *   line is appended to "esd.log" in that folder. Fields are separated by
 *   tabs; times are milliseconds of the monotonic clock:
 *       <time> play <file> <name> <left> <right> <duration>
 *       <time> kill <file> <name>
 *   (<name> is the name given to esd_sample_cache, "-" when none; <duration>
 *   in milliseconds). Nothing is heard. A kill line is written only for a
 *   sample that is still playing.
 * - Otherwise the samples are played through the desktop's sound server
 *   (PulseAudio) on a thread of the connection; without a reachable server
 *   esd_open_sound fails.
 *
 * Every call comes from one thread.
 */
#ifndef XR_ESD_H
#define XR_ESD_H

#ifdef __cplusplus
extern "C" {
#endif

typedef int esd_format_t;

/* Sample width. */
#define ESD_BITS8 0x0000
#define ESD_BITS16 0x0001
#define ESD_MASK_BITS 0x000F
/* Channels. */
#define ESD_MONO 0x0010
#define ESD_STEREO 0x0020
#define ESD_MASK_CHAN 0x00F0
/* Kind: a stream or a cached sample. Only samples are offered here. */
#define ESD_STREAM 0x0000
#define ESD_SAMPLE 0x0100
#define ESD_MASK_MODE 0x0F00
/* Function. */
#define ESD_PLAY 0x1000
#define ESD_MASK_FUNC 0xF000

/* The pan value of full volume on one side. */
#define ESD_VOLUME_BASE 256

/* The environment variable naming the capture folder. */
#define ESD_CAPTURE_ENV "KESTROVA_ESD_CAPTURE"
/* The capture folder's log file. */
#define ESD_CAPTURE_LOG "esd.log"

/* Opens a connection to the local daemon (host must be NULL, "" or
 * "localhost"); the connection's descriptor, or -1 when there is no daemon
 * to reach. */
int esd_open_sound(const char* host);
/* Stops the connection's samples and closes it; 0, or -1 for an unknown
 * connection. */
int esd_close(int esd);

/* Announces a sample of length bytes (8-bit unsigned or 16-bit signed
 * little-endian, interleaved when stereo) at rate frames per second; the
 * client then writes exactly length bytes to esd. Returns the new sample's
 * id (positive), or -1 for a bad format, rate or length or an unknown
 * connection. name may be NULL. */
int esd_sample_cache(int esd, esd_format_t format, int rate, int length, const char* name);
/* Takes the bytes written since esd_sample_cache into the cache: the
 * sample's id, or -1 when no sample was announced or a different number of
 * bytes arrived (the sample is then dropped). */
int esd_confirm_sample_cache(int esd);
/* The sample's pan: 0 (silent) to ESD_VOLUME_BASE (full) per side. The id,
 * or -1 for an unknown sample. */
int esd_set_default_sample_pan(int esd, int sample_id, int left, int right);
/* Starts playing the sample. The id, or -1 when it cannot be played. */
int esd_sample_play(int esd, int sample_id);
/* Drops the sample from the cache; a sample that is playing goes when it
 * ends. The id, or -1 for an unknown sample. */
int esd_sample_free(int esd, int sample_id);
/* Stops the sample: its id when it was playing, 0 when it was not playing
 * (or is no longer known), -1 for an unknown connection. */
int esd_sample_kill(int esd, int sample_id);

#ifdef __cplusplus
}
#endif

#endif
