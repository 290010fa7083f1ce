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
// copying the frame. So the gain is stepped from frame to frame (one
// multiplication, or one rotation) starting from the exact gain at the
// first frame of every block of STEP_BLOCK_FRAMES. Over a block the
// estimate stays within 1e-12 of fade_gain; GAIN_ERROR bounds it with a
// wide margin. Where the estimate cannot decide a truncated sample beyond
// doubt, fade_gain itself is used: the output is always exactly that of
// scaling by fade_gain.
constexpr std::int32_t STEP_BLOCK_FRAMES = 4096;
constexpr double GAIN_ERROR = 1e-9;

struct gain_stepper {
    std::int32_t fade_pattern;
    std::int32_t k;       // the current frame
    std::int32_t frames;  // the fade's length
    double part;          // pow(0.001, t) (patterns 0 and 2) or the cosine (3)
    double sine;          // pattern 3: the sine of the current angle
    double step_cos;      // the factor (0 and 2) or the rotation's cosine (3)
    double step_sin;      // pattern 3: the rotation's sine
};

gain_stepper start_gain_stepper(std::int32_t fade_pattern, std::int32_t k, std::int32_t frames);
double stepped_gain(const gain_stepper &stepper);  // the current frame's estimate
void advance_gain_stepper(gain_stepper &stepper);

// Scales the whole frames of chunk in place: frame j of the chunk is frame
// first_frame + j of the fade. Both samples of a frame get the same gain.
void scale_chunk(unsigned char *chunk, std::int32_t bytes, std::int32_t first_frame,
                 std::int32_t frames, std::int32_t fade_pattern);
