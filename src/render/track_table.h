// The compiled-in table of where each track lies in the data file, and the
// name of the WAV file written for it.
#pragma once

#include <cstdint>

constexpr int TRACK_COUNT = 13;
constexpr int NAME_FIELD_BYTES = 50;  // one name slot, NUL-filled

struct track_entry {
    std::int32_t start;  // offset of the track's first PCM byte
    std::int32_t loop;   // offset of the loop point; [start, loop) is the intro
    std::int32_t end;    // offset one past the loop body's last byte
};

// The table stores the loop point and the loop end counted from the
// track's start; every user sees them as absolute offsets, made so once,
// when the program is compiled.
constexpr track_entry normalised_entry(std::int32_t start, std::int32_t loop_from_start,
                                       std::int32_t end_from_start)
{
    return track_entry{start, start + loop_from_start, start + end_from_start};
}

// Entry i belongs to track number i + 1. All offsets are whole frames.
inline constexpr track_entry track_table[TRACK_COUNT] = {
    normalised_entry(44, 1313276, 14198156),    // 1: intro 7.45 s, body 73.04 s
    normalised_entry(15204440, 0, 3792136),     // 2: loops whole, 21.50 s
    normalised_entry(18996620, 0, 3792384),     // 3
    normalised_entry(22789048, 0, 3792492),     // 4
    normalised_entry(26581584, 0, 3792436),     // 5
    normalised_entry(30374064, 0, 3792432),     // 6
    normalised_entry(34166540, 0, 3792424),     // 7
    normalised_entry(37959008, 0, 3792476),     // 8
    normalised_entry(41751528, 0, 3792292),     // 9
    normalised_entry(45543864, 0, 3792364),     // 10
    normalised_entry(49336272, 0, 3792380),     // 11
    normalised_entry(53128696, 678372, 8062552),  // 12: intro 3.85 s, body 41.86 s
    normalised_entry(62141920, 1766072, 5529220), // 13: intro 10.01 s, body 21.33 s
};

// The writer relies on this: tracks in order, each with a loop body, all
// offsets whole frames.
constexpr bool track_table_is_ordered()
{
    std::int32_t previous_end = 0;
    for (const track_entry &entry : track_table) {
        if (entry.start < previous_end || entry.loop < entry.start || entry.end <= entry.loop)
            return false;
        if (entry.start % 4 != 0 || entry.loop % 4 != 0 || entry.end % 4 != 0)
            return false;
        previous_end = entry.end;
    }
    return true;
}
static_assert(track_table_is_ordered(), "track table out of order");

// Output names, Shift-JIS (code page 932) bytes of the form "NN title.wav".
extern const char track_names[TRACK_COUNT][NAME_FIELD_BYTES];

// Room for a name of NAME_FIELD_BYTES - 1 code page 932 bytes in UTF-8:
// at most three bytes for each byte (half-width katakana), and the NUL.
constexpr int UTF8_NAME_BYTES = 3 * (NAME_FIELD_BYTES - 1) + 1;

// The same names in UTF-8, each the exact conversion of its code page 932
// bytes.
extern const char track_names_utf8[TRACK_COUNT][UTF8_NAME_BYTES];
