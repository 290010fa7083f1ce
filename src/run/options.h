// The command line: arguments to settings, their checks, the summary line.
#pragma once

#include <cstdint>

#include "run/settings.h"

// What the arguments ask for, before any setting is read from them.
enum run_request {
    REQUEST_RUN,      // extract, with the settings the arguments give
    REQUEST_HELP,     // an argument is exactly a help request (is_help_argument)
    REQUEST_VERSION,  // an argument is exactly --version, and none asks for help
};

// Whether argument is exactly --help, -h or -?, or the host's own spelling
// (/? on Windows). Anything else, --HELP and -help included, is not.
bool is_help_argument(const char *argument);

// The request the arguments after the program name make; help wins.
run_request find_request(int argc, const char *const *argv);

// The usage text of bgm-extract, on standard output.
void print_usage();

// "PROGRAM VERSION" and a line feed, on standard output.
void print_version(const char *program);

// Reads a decimal number as strtol in base 10 does: leading white space,
// an optional sign, digits up to the first other byte; no digits give 0.
// Values beyond the signed 32-bit range saturate at its limits.
std::int32_t read_number(const char *text);

// Fills settings from the arguments after the program name, left to right,
// a later argument overriding an earlier one.
void parse_arguments(int argc, const char *const *argv, extract_settings &settings);

// Whether the run may go on; when not, the reason has been printed.
bool check_settings(const extract_settings &settings);

void print_summary(const extract_settings &settings);
