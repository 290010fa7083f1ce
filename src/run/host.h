// The host's file names and console text. The track table holds code page
// 932 bytes; POSIX hosts name files and print in UTF-8, Windows hosts name
// files in UTF-16 and print UTF-16 to a console (code page 932 bytes when
// standard output is redirected). Nothing outside host.cpp knows which
// host it is on.
#pragma once

#include <cstdint>
#include <cstdio>

#include "render/track_table.h"

#ifdef _WIN32
typedef wchar_t host_char;
#else
typedef char host_char;
#endif

// Room for a name of NAME_FIELD_BYTES - 1 bytes in UTF-8 (at most three
// bytes for each byte of code page 932) plus ".part".
constexpr int HOST_NAME_CHARS = 3 * NAME_FIELD_BYTES + 8;

struct host_name {
    const char *table_bytes;              // the name as the table holds it
    host_char path[HOST_NAME_CHARS];      // the final file name
    host_char part_path[HOST_NAME_CHARS]; // the file written until it is complete
};

// Converts a table name for the host; false if the bytes do not convert.
bool host_name_from_table(const char *table_bytes, host_name &name);

// Creates the ".part" file empty, removing a stale one first; never writes
// through a symbolic link. Null if the file cannot be created or the final
// name is taken by a directory.
std::FILE *host_create_part(const host_name &name);

// Renames the ".part" file over the final name, replacing what is there.
bool host_commit_part(const host_name &name);

// Removes the ".part" file.
void host_discard_part(const host_name &name);

// Prints before, the name, after, on standard output, and flushes it.
void host_print_line(const char *before, const host_name &name, const char *after);

// The size of the open data file, or -1 if it is not a regular file.
std::int64_t host_file_size(std::FILE *file);
