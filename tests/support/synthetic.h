// Synthetic data for the tests: a data file whose every frame can be told
// from every other, and an independent model of the files the tool writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The data file's size when it ends at the last track's loop end.
constexpr std::int64_t SYNTHETIC_DATA_BYTES = 67671140;

// The frame at byte offset (a multiple of 4) of the synthetic data: the left
// sample is the frame number's low 16 bits, the right sample its high bits
// under a scrambled top, so that both cover the whole 16-bit range.
std::int16_t pattern_left(std::int64_t offset);
std::int16_t pattern_right(std::int64_t offset);

// Appends the pattern's bytes [from, to) to out.
void append_pattern(std::vector<unsigned char> &out, std::int64_t from, std::int64_t to);

// Writes the first `bytes` bytes of the pattern to path.
bool write_pattern_file(const std::string &path, std::int64_t bytes = SYNTHETIC_DATA_BYTES);

// A span of the data file, [from, to).
struct data_span {
    std::int64_t from;
    std::int64_t to;
};

// The gain of frame k of a fade of n frames, from the envelope formulas.
double reference_gain(int pattern, std::int64_t k, std::int64_t n);

// A whole WAV file: the canonical header, the spans' pattern bytes one after
// another, and the last fade_bytes of them faded with the given pattern.
std::vector<unsigned char> expected_file(const std::vector<data_span> &spans,
                                         std::int64_t fade_bytes, int fade_pattern);

// Hands the expected file to sink block by block, in order, until sink
// returns false.
void generate_expected(const std::vector<data_span> &spans, std::int64_t fade_bytes,
                       int fade_pattern,
                       const std::function<bool(const unsigned char *, std::size_t)> &sink);

// Whether the file at path is exactly what expected_file would return.
bool file_matches(const std::string &path, const std::vector<data_span> &spans,
                  std::int64_t fade_bytes, int fade_pattern);

struct track_plan {
    std::vector<data_span> spans;
    std::int64_t fade_bytes;
};

// The spans and fade a track's file is made of: the intro once, the loop
// body `repeat` times, and for a negative fade |fade| seconds more from the
// loop point, wrapping at the loop end. A positive fade takes the last
// `fade` seconds of the passes, or all of them when they are shorter.
track_plan plan_track(std::int64_t start, std::int64_t loop, std::int64_t end, int repeat,
                      int fade);

// The file plan_track describes, whole.
std::vector<unsigned char> expected_track_file(std::int64_t start, std::int64_t loop,
                                               std::int64_t end, int repeat, int fade,
                                               int fade_pattern);

// The file at path, whole; empty if it cannot be read.
std::vector<unsigned char> read_file(const std::string &path);
