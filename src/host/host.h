// The host's file names, temporary files, signals and console text. The
// track table holds the names in code page 932 and in UTF-8; POSIX hosts name
// files and print in UTF-8, Windows hosts name files in UTF-16 and print
// UTF-16 to a console (code page 932 bytes when standard output is
// redirected). Nothing outside host_posix.cpp and host_windows.cpp, beside
// this header, knows which host it is on.
#pragma once

#include <cstdint>
#include <cstdio>

#include "render/track_table.h"

#ifdef _WIN32
typedef wchar_t host_char;
#else
typedef char host_char;
#endif

// Room for a name in UTF-8 plus ".part".
constexpr int HOST_NAME_CHARS = UTF8_NAME_BYTES + 8;
// Room for that name plus ".<process id>.<count>.part".
constexpr int HOST_TEMP_CHARS = HOST_NAME_CHARS + 32;

struct host_name {
    const char *table_bytes;              // the name as the table holds it
    host_char path[HOST_NAME_CHARS];      // the final file name
    host_char part_path[HOST_NAME_CHARS]; // NAME.part, as older versions left it
};

// A track's file while it is written: a file of this run's own, in the
// working folder, that no other run can name or remove. It takes the final
// name only once it is complete and closed.
struct host_output {
    std::FILE *file;
    host_char temp_path[HOST_TEMP_CHARS];  // its name, once it has one
    bool named;                            // whether temp_path names it yet
};

// The host's own spelling of a request for help besides --help, -h and -?:
// "/?" on Windows, none (nullptr) elsewhere.
extern const char *const HOST_HELP_ARGUMENT;

// Prints where to read more about program, as a line of its help text.
void host_print_more_help(const char *program);

// Why a call failed: errno on POSIX hosts, a Win32 error code on Windows.
typedef unsigned long host_error;

// Bit 29 of a Win32 error code is the application's; errno values never
// reach it. The tool's own reasons:
constexpr host_error HOST_ERROR_FOLDER = 0x20000001;    // a folder under the name (Windows)
constexpr host_error HOST_ERROR_NOT_FILE = 0x20000002;  // a FIFO, a device, ...

enum host_open_result {
    HOST_OPENED,
    HOST_MISSING,     // no file of that name
    HOST_UNREADABLE,  // there, but not a regular file that can be read
};

// Opens the data file for binary reading, without ever blocking (a FIFO with
// no writer is refused at once). On HOST_UNREADABLE, error says why.
host_open_result host_open_data(const char *name, std::FILE *&file, host_error &error);

// Once, before anything else: keeps the standard streams from being taken
// by the tool's own files, lets Ctrl-C and its kin remove the temporary
// file before the tool ends, and turns a file-size limit into a failed
// write instead of a kill.
void host_prepare_run();

// The host's name for track index's file, from the name tables; false if it
// cannot be made.
bool host_name_for_track(int index, host_name &name);

// Creates the track's temporary file, empty, and removes a NAME.part left by
// an older version. False, with the reason, if it cannot be created or a
// folder stands under the final name.
bool host_create_output(const host_name &name, host_output &output, host_error &error);

// Flushes and closes the complete temporary file and renames it over the
// final name, replacing what is there. False, with the reason, if any of
// that fails; the temporary file is then gone and the final name untouched.
bool host_commit_output(const host_name &name, host_output &output, host_error &error);

// Closes and removes the temporary file.
void host_discard_output(host_output &output);

// The reason for the failure of the last file call, read straight after it.
host_error host_last_error();

// Prints before, the name, after, on standard output, and flushes it.
void host_print_line(const char *before, const host_name &name, const char *after);

// Prints "before NAME: reason" and a line feed, and flushes it.
void host_print_failure(const char *before, const host_name &name, host_error error);

// Prints "text: reason" and a line feed, and flushes it.
void host_print_reason(const char *text, host_error error);

// Once, at the end: writes out standard output and closes it. False if any
// message could not be written.
bool host_finish_console();

// The size of the open data file, or -1 if it is not a regular file.
std::int64_t host_file_size(std::FILE *file);
