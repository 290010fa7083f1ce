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

// Calling pow or cos for every frame would cost several times as much as
// copying the frame. So scale_chunk steps an estimate of the gain from frame
// to frame (one multiplication, or one rotation), starting afresh from the
// exact gain at the first frame of every block of STEP_BLOCK_FRAMES. Over a
// block the estimate stays within 1e-12 of fade_gain (a multiplication or a
// rotation adds at most a few units in the last place); GAIN_ERROR bounds it
// with a wide margin. Where the estimate cannot decide a truncated sample
// beyond doubt, fade_gain itself is used: the output is always exactly that
// of scaling every sample by fade_gain.
constexpr std::int32_t STEP_BLOCK_FRAMES = 2048;
constexpr double GAIN_ERROR = 1e-10;

// Estimates of the gains of frames first_frame to first_frame + count - 1,
// each within GAIN_ERROR of fade_gain. count is at most STEP_BLOCK_FRAMES,
// and gains has room for STEP_BLOCK_FRAMES values.
void estimate_gains(std::int32_t fade_pattern, std::int32_t first_frame, std::int32_t frames,
                    std::int32_t count, double *gains);

// Scales the whole frames of chunk in place: frame j of the chunk is frame
// first_frame + j of the fade. Both samples of a frame get the same gain.
void scale_chunk(unsigned char *chunk, std::int32_t bytes, std::int32_t first_frame,
                 std::int32_t frames, std::int32_t fade_pattern);
