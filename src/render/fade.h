// Fade-out envelopes and their application to PCM frames.
#pragma once

#include <cstdint>

constexpr std::int32_t FADE_PATTERN_COUNT = 4;

// The gain for frame k (0 <= k < frames) of a fade of `frames` frames:
//   0 exponential  pow(0.001, t), from 1 towards 0.001 (-60 dB)
//   1 linear       1 - t
//   2 mean of 0 and 1
//   3 raised cosine (cos(k * 3.1415926535 / frames) + 1) / 2
// with t = k / frames. Every gain lies in (0, 1].
double fade_gain(std::int32_t fade_pattern, std::int32_t k, std::int32_t frames);

// One sample scaled by gain, truncated toward zero.
std::int16_t scale_sample(std::int16_t sample, double gain);

// Scales the whole frames of chunk in place: frame j of the chunk is frame
// first_frame + j of the fade. Both samples of a frame get the same gain.
void scale_chunk(unsigned char *chunk, std::int32_t bytes, std::int32_t first_frame,
                 std::int32_t frames, std::int32_t fade_pattern);
