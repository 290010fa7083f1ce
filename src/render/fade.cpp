#include "render/fade.h"

#include <cmath>

#include "render/audio_format.h"

// The raised cosine's constant, to ten decimals as the envelope is defined;
// not the full-precision value of pi.
static constexpr double FADE_PI = 3.1415926535;

double fade_gain(std::int32_t fade_pattern, std::int32_t k, std::int32_t frames)
{
    const double t = static_cast<double>(k) / static_cast<double>(frames);
    switch (fade_pattern) {
    case 0:
        return std::pow(0.001, t);
    case 1:
        return 1.0 - t;
    case 2:
        return (std::pow(0.001, t) + (1.0 - t)) / 2.0;
    case 3:
        return (std::cos(static_cast<double>(k) * FADE_PI / static_cast<double>(frames)) + 1.0) / 2.0;
    default:
        return 1.0;
    }
}

std::int16_t scale_sample(std::int16_t sample, double gain)
{
    // The gain is at most 1, so the product stays within 16 bits.
    return static_cast<std::int16_t>(static_cast<int>(static_cast<double>(sample) * gain));
}

static std::int16_t load_sample(const unsigned char *at)
{
    const auto bits = static_cast<std::uint16_t>(at[0] | (at[1] << 8));
    return static_cast<std::int16_t>(bits);
}

static void store_sample(unsigned char *at, std::int16_t sample)
{
    const auto bits = static_cast<std::uint16_t>(sample);
    at[0] = static_cast<unsigned char>(bits & 0xFF);
    at[1] = static_cast<unsigned char>(bits >> 8);
}

void scale_chunk(unsigned char *chunk, std::int32_t bytes, std::int32_t first_frame,
                 std::int32_t frames, std::int32_t fade_pattern)
{
    const std::int32_t chunk_frames = bytes / FRAME_BYTES;
    for (std::int32_t j = 0; j < chunk_frames; j++) {
        const double gain = fade_gain(fade_pattern, first_frame + j, frames);
        unsigned char *frame = chunk + j * FRAME_BYTES;
        store_sample(frame, scale_sample(load_sample(frame), gain));
        store_sample(frame + 2, scale_sample(load_sample(frame + 2), gain));
    }
}
