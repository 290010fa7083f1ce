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

gain_stepper start_gain_stepper(std::int32_t fade_pattern, std::int32_t k, std::int32_t frames)
{
    gain_stepper stepper{fade_pattern, k, frames, 0.0, 0.0, 0.0, 0.0};
    const double n = static_cast<double>(frames);
    if (fade_pattern == 0 || fade_pattern == 2) {
        // The same expression as fade_gain's, so exact at the first frame.
        stepper.part = std::pow(0.001, static_cast<double>(k) / n);
        stepper.step_cos = std::pow(0.001, 1.0 / n);
    } else if (fade_pattern == 3) {
        const double angle = static_cast<double>(k) * FADE_PI / n;
        stepper.part = std::cos(angle);
        stepper.sine = std::sin(angle);
        stepper.step_cos = std::cos(FADE_PI / n);
        stepper.step_sin = std::sin(FADE_PI / n);
    }
    return stepper;
}

double stepped_gain(const gain_stepper &stepper)
{
    const double t = static_cast<double>(stepper.k) / static_cast<double>(stepper.frames);
    switch (stepper.fade_pattern) {
    case 0:
        return stepper.part;
    case 1:
        return 1.0 - t;  // cheap enough to be exact
    case 2:
        return (stepper.part + (1.0 - t)) / 2.0;
    case 3:
        return (stepper.part + 1.0) / 2.0;
    default:
        return 1.0;
    }
}

void advance_gain_stepper(gain_stepper &stepper)
{
    stepper.k++;
    if (stepper.fade_pattern == 3) {
        // One rotation by the angle step.
        const double cosine = stepper.part * stepper.step_cos - stepper.sine * stepper.step_sin;
        stepper.sine = stepper.sine * stepper.step_cos + stepper.part * stepper.step_sin;
        stepper.part = cosine;
    } else {
        stepper.part *= stepper.step_cos;
    }
}

// Decides sample * (exact gain), truncated, from an estimate of the gain
// within GAIN_ERROR of it: the exact product lies within `margin` of the
// estimated one, so when no integer lies in between, both truncate alike.
// False when it cannot be decided.
static bool scale_by_estimate(std::int16_t sample, double estimate, std::int16_t &scaled)
{
    const double magnitude = std::fabs(static_cast<double>(sample));
    // The second term covers the rounding of the products themselves.
    const double margin = magnitude * GAIN_ERROR + GAIN_ERROR;
    const double product = magnitude * estimate;
    const int whole = static_cast<int>(product + margin);
    if (whole > 0 && product - margin < whole)
        return false;
    scaled = static_cast<std::int16_t>(sample < 0 ? -whole : whole);
    return true;
}

static void scale_frame(unsigned char *frame, const gain_stepper &stepper)
{
    const std::int16_t left = load_sample(frame);
    const std::int16_t right = load_sample(frame + 2);
    const double estimate = stepped_gain(stepper);
    std::int16_t scaled_left = 0;
    std::int16_t scaled_right = 0;
    if (!scale_by_estimate(left, estimate, scaled_left) ||
        !scale_by_estimate(right, estimate, scaled_right)) {
        const double gain = fade_gain(stepper.fade_pattern, stepper.k, stepper.frames);
        scaled_left = scale_sample(left, gain);
        scaled_right = scale_sample(right, gain);
    }
    store_sample(frame, scaled_left);
    store_sample(frame + 2, scaled_right);
}

void scale_chunk(unsigned char *chunk, std::int32_t bytes, std::int32_t first_frame,
                 std::int32_t frames, std::int32_t fade_pattern)
{
    const std::int32_t chunk_frames = bytes / FRAME_BYTES;
    gain_stepper stepper{};
    for (std::int32_t j = 0; j < chunk_frames; j++) {
        if (j % STEP_BLOCK_FRAMES == 0)
            stepper = start_gain_stepper(fade_pattern, first_frame + j, frames);
        scale_frame(chunk + j * FRAME_BYTES, stepper);
        advance_gain_stepper(stepper);
    }
}
