// The command line: arguments to settings, their checks, the summary line.
#pragma once

#include <cstdint>

#include "run/settings.h"

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
