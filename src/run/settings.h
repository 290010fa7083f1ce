// The run's settings, filled from the command line.
#pragma once

#include <cstdint>

#include "render/track_table.h"

struct extract_settings {
    std::int32_t repeat;        // passes through the loop body, 1 to 10
    std::int32_t fade;          // seconds; > 0 fades in place, < 0 extends; -30 to 30
    std::int32_t fade_pattern;  // envelope shape, 0 to 3
    std::int32_t first_track;   // 0: all tracks; else the one chosen track number
    std::int32_t last_track;    // 1 to TRACK_COUNT
};

// Every track, two passes, no fade.
constexpr extract_settings default_settings()
{
    return extract_settings{2, 0, 0, 0, TRACK_COUNT};
}

// Exit statuses.
constexpr int EXIT_DONE = 0;      // every selected track was written
constexpr int EXIT_FAILED = 1;    // data file missing, or a track not written
constexpr int EXIT_REJECTED = 2;  // the settings were rejected
