#ifndef VYRSIM_H
#define VYRSIM_H

/*
 * Control interface of the simulated fingerprint module.
 *
 * The simulated module is built as lib/libvyr_uos.so and exports the same
 * entry points as the vendor library. Besides them it exports the calls
 * below, with which a test (or a curious developer) steers it. A process
 * that loads the library file twice shares one module, so a test can drive
 * the module that the program under test talks to.
 *
 * Environment variables read when the library is loaded:
 *   VYRSIM_NO_MODULE=1   no module is attached: opening fails
 *   VYRSIM_DELAY_MS=n    each image request and each upload takes n ms (default 30)
 *   VYRSIM_AUTOPILOT=0   no operator presses a finger by itself (default 1)
 *   VYRSIM_FINGER=n      the finger the autopilot presses (default 1)
 *   VYRSIM_TEMPLATES=3,12,40  templates of that finger added to the store under these IDs
 *   VYRSIM_STORE=path    the file the store is kept in across runs (default
 *                        $XDG_DATA_HOME/fpdesk/modulesim/store, or under
 *                        ~/.local/share); "none" keeps it in memory only
 *   VYRSIM_CONTROL=0     no control channel (see vyrsim_control_start)
 *
 * Every change of the store (VYRStoreChar, VYRDelChar, VYREmpty, VYRWriteInfo,
 * vyrsim_store and the vyrsim_store_... calls) is written to the store file
 * before the call returns; a change that cannot be written fails with
 * VYRSIM_ERR_FILE and leaves the store as it was.
 *
 * The module decides from the image in its buffer alone, as a real one
 * does: VYRGenChar finds the minutiae of the print in the last image the
 * sensor took and refuses a frame with too little usable print (the gate
 * below); VYRMatch, VYRRegModule and VYRSearch compare minutiae. Templates
 * travel as 512-byte blocks (VYRUpChar, VYRDownChar), laid out as
 * templates/templatecodec.h describes.
 */

/* The status codes, the quality gate's bounds (VYRSIM_GATE_...), the match
   threshold and the frame sources for uploads (VYRSIM_FRAMES_...). */
#include "common/vyrsim_codes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VYRSIM_API __attribute__((visibility("default")))

/* Back to a fresh module: attached, closed, empty store of 1000 IDs kept
   in memory only (no store file is read or written after it), no finger, no
   script, no faults, gates open, empty call log, no delay, no autopilot,
   synthetic frames, password 00000000, no replay. */
VYRSIM_API void vyrsim_reset(void);

/* Keeps the store in the file at `path` from now on, starting from what it
   holds (an absent file is an empty store); null keeps it in memory only.
   Returns 0, or VYRSIM_ERR_FILE when the file could not be read or was
   refused as damaged: the store then starts empty and the file is renamed
   aside, never deleted. */
VYRSIM_API int vyrsim_use_store(const char *path);

VYRSIM_API void vyrsim_set_attached(int attached);
VYRSIM_API void vyrsim_set_delay_ms(int ms);
/* The 4 bytes VYRVfyPwd takes from now on (00000000 after vyrsim_reset);
   any other password fails it with VYRSIM_ERR_PASSWORD. Kept in memory
   only, never in the store file. Null changes nothing. */
VYRSIM_API void vyrsim_set_password(const unsigned char *password);
VYRSIM_API void vyrsim_set_autopilot(int on);
/* The finger the autopilot presses, from 1. */
VYRSIM_API void vyrsim_set_autopilot_finger(int finger);
/* Number of template IDs the store holds, 1 to 1024; shrinking drops the IDs beyond. */
VYRSIM_API void vyrsim_set_capacity(int ids);
VYRSIM_API int vyrsim_capacity(void);
VYRSIM_API void vyrsim_set_frame_mode(int mode);

/* The sensor. 0: no finger; n > 0: finger n lies on it. A script gives the
   state for each coming image request, one entry per request; when it runs
   out, the state of its last entry holds. vyrsim_set_finger drops the script. */
VYRSIM_API void vyrsim_set_finger(int finger);
VYRSIM_API void vyrsim_script(const int *fingers, int count);
/* Image requests still covered by the script. */
VYRSIM_API int vyrsim_script_left(void);

/* Puts a grey image (one byte a pixel, 0 black, 255 white, rows top first)
   on the sensor as a finger: every image request then takes exactly that
   frame, until vyrsim_set_finger, vyrsim_script or another placement. An
   image of another size than 256 x 288 is centred: cropped where larger,
   padded with its own background grey (the median of its edge pixels)
   where smaller. Images are taken to be 500 dpi. Returns 0, or
   VYRSIM_ERR_BAD_ARGUMENT for a null pointer or a side outside 1..4096. */
VYRSIM_API int vyrsim_place_image(const unsigned char *pixels, int width, int height);

/* Enrolls the synthetic finger as an operator would, from two of its
   presses, and stores the template under the ID. Returns 0, or
   VYRSIM_ERR_BAD_ID for an ID outside the store or a finger below 1. */
VYRSIM_API int vyrsim_store(int id, int finger);
/* 1 when the ID holds a template, 0 when it is empty, -1 when outside the store. */
VYRSIM_API int vyrsim_stored(int id);
/* Empties one ID, or the whole store. 0, VYRSIM_ERR_BAD_ID, VYRSIM_ERR_EMPTY
   (nothing under the ID) or VYRSIM_ERR_FILE. */
VYRSIM_API int vyrsim_store_delete(int id);
VYRSIM_API int vyrsim_store_clear(void);
/* The template under the ID as its 512-byte block (templates/templatecodec.h),
   and back: 0, VYRSIM_ERR_BAD_ID, VYRSIM_ERR_EMPTY, VYRSIM_ERR_TEMPLATE (a
   block that is short, damaged or foreign) or VYRSIM_ERR_FILE. */
VYRSIM_API int vyrsim_store_export(int id, unsigned char *block);
VYRSIM_API int vyrsim_store_import(int id, const unsigned char *block, int length);

/* Makes calls `first` to `first + count - 1` of the entry point fail with
   `code`, counting its calls from now (the next call is 1); count -1 makes
   every call from `first` on fail. A failing call does nothing else.
   Returns 0, or -1 for a name that is no entry point. */
VYRSIM_API int vyrsim_fail(const char *entry, int first, int count, int code);
/* Disarms every fault. */
VYRSIM_API void vyrsim_fail_clear(void);

/* While a gate is closed, calls of that entry point wait in front of it. The
   gate "vyrsim_store" holds the enrollment of a finger that vyrsim_store (or
   the channel's store add) has not enrolled before: it waits there before
   its first press, holding no lock, so every other call goes on. The gate
   "vyrsim_store_write" holds every change of a store kept in a file before
   the file is written; other calls go on meanwhile and see the store as the
   file holds it, and further changes of the store wait behind it. */
VYRSIM_API int vyrsim_gate(const char *entry, int closed);
VYRSIM_API int vyrsim_gate_waiting(void);

/* The last 20,000 entry point calls, as "Name(arg, ...) = result"; pointers
   are written as 0x<hex> or null. */
VYRSIM_API int vyrsim_log_size(void);
/* Copies entry `index` (0 is the oldest) into out, NUL-terminated; returns its
   length, or -1 when there is no such entry. */
VYRSIM_API int vyrsim_log_entry(int index, char *out, int size);
VYRSIM_API void vyrsim_log_clear(void);

/* One line of "key=value" pairs saying what the module is doing:
     attached=yes|no open=yes|no handle=N|none sensor="..." templates=N/CAPACITY
     delay=Nms store="PATH"|none faults=none|Entry:code:calls,...
   and, while a replay runs, replay="..." (how far it came, or where it left
   the recording). A value in quotes may hold spaces. Copied into out as
   vyrsim_log_entry does. */
VYRSIM_API int vyrsim_status(char *out, int size);

/* Answers every entry point from the recording at path from now on, at
   speed times its pace (0: at once), as VYRSIM_REPLAY does when the library
   loads: a call must be the one the recording holds next, with the same
   inputs, and gets the recorded result and outputs. The first call that is
   not fails with VYRSIM_ERR_REPLAY, one after the recording's end with
   VYRSIM_ERR_REPLAY_END, and so does every later call; stderr and the
   status say which. VYRSIM_ERR_FILE for a recording that cannot be read
   whole (every call then fails with VYRSIM_ERR_REPLAY). A null or empty
   path ends the replay; the module is then as it was before. */
VYRSIM_API int vyrsim_replay(const char *path, double speed);

/* The control channel: a Unix domain socket on which the module takes
   commands, one a line, from the vyrsim program or any script (the README
   lists them). It is opened when the library is loaded unless
   VYRSIM_CONTROL=0, as $XDG_RUNTIME_DIR/vyrsim/<pid>.sock (or under a private
   directory in the temporary directory), and closed when the library is
   unloaded or the process exits. Start returns 0, or -1 when the socket
   could not be opened (the reason goes to standard error); it does nothing
   while the channel is open. */
VYRSIM_API int vyrsim_control_start(void);
VYRSIM_API void vyrsim_control_stop(void);
/* The socket's path, copied as vyrsim_log_entry does; -1 while closed. */
VYRSIM_API int vyrsim_control_socket(char *out, int size);

#ifdef __cplusplus
}
#endif

#endif /* VYRSIM_H */
