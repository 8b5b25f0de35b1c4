#ifndef DEVICESTATE_H
#define DEVICESTATE_H

#include "moduleformat.h"

#include <atomic>

// The device state shared by the worker and the window's command slots.
//
// Threads: the window's command slots write m_option and enrollid only while
// no run is under way (they refuse commands during a run), and QThread::start
// orders those writes before everything the run reads. Every other variable
// is written only by the run. m_option is atomic because the window also
// clears it to end a run at its next turn when it shuts down, and because
// its reset at the end of a run is what makes the run's writes visible to
// the next command.

// Operation codes held in m_option.
enum Operation {
    OpIdle = 0,
    OpOpen = 1,
    OpClose = 2,
    OpCapture = 3,
    OpEnroll = 4,
    OpDelete = 5,
    OpSearch = 6,
    OpMatch = 7, // 1:1 against the template of enrollid
    OpExport = 8, // upload the template of enrollid
    OpImport = 9, // download a template and store it under enrollid
    OpEmpty = 10,
    OpModuleInfo = 11,
    OpReadNotepad = 12,
    OpWriteNotepad = 13,
    OpImportCheck = 14, // the library's template length, asked before an import
    OpVerifyPassword = 15, // the 4 bytes of the payload
    OpRandomData = 16,
    OpOpenImage = 17, // a BMP, its path in the payload, shown as a frame
    OpBackup = 18, // every stored template into one file
    OpRestore = 19 // the backup file in the payload onto the module
};

// The device address every call after open passes: the module's broadcast
// address, which any module answers.
constexpr int DEV_ADDR = -1;

extern bool isdllok; // the module library is loaded and its names looked up
extern bool isopenok; // the device is open
extern std::atomic<int> m_option; // the operation of the run, an Operation
extern int hHandle[1]; // the device handle, written by the library on open
extern int enrollid; // template ID of enrollment, deletion, 1:1 match, export and import
extern unsigned char fpimage[kImageBufferBytes]; // the last image, rows of 256 bytes
extern unsigned char UserContent[kIndexBytes]; // template index bitmap

// Pause after each feature attempt in enrollment, in microseconds, so that
// the operator has time to lift the finger. Tests shorten it; the program
// never changes it.
extern unsigned long enrollPauseMicroseconds;

#endif // DEVICESTATE_H
