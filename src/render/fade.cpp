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

// The estimates run as GAIN_LANES recurrences interleaved frame by frame,
// so that each step waits on the one GAIN_LANES frames back rather than on
// the one just before. Every lane starts from fade_gain's own expression,
// so exact at its first frame.
static constexpr std::int32_t GAIN_LANES = 4;
static_assert(STEP_BLOCK_FRAMES % GAIN_LANES == 0, "blocks hold whole lanes");

static void estimate_exponential(double k, double n, std::int32_t count, double *gains)
{
    double exponential[GAIN_LANES];
    for (std::int32_t lane = 0; lane < GAIN_LANES; lane++)
        exponential[lane] = std::pow(0.001, (k + lane) / n);
    const double factor = std::pow(0.001, GAIN_LANES / n);
    for (std::int32_t j = 0; j < count; j += GAIN_LANES) {
        for (std::int32_t lane = 0; lane < GAIN_LANES; lane++) {
            gains[j + lane] = exponential[lane];
            exponential[lane] *= factor;
        }
    }
}

static void estimate_cosine(double k, double n, std::int32_t count, double *gains)
{
    double cosine[GAIN_LANES];
    double sine[GAIN_LANES];
    for (std::int32_t lane = 0; lane < GAIN_LANES; lane++) {
        cosine[lane] = std::cos((k + lane) * FADE_PI / n);
        sine[lane] = std::sin((k + lane) * FADE_PI / n);
    }
    // Each step turns a lane on by GAIN_LANES frames' angle.
    const double step_cos = std::cos(GAIN_LANES * FADE_PI / n);
    const double step_sin = std::sin(GAIN_LANES * FADE_PI / n);
    for (std::int32_t j = 0; j < count; j += GAIN_LANES) {
        for (std::int32_t lane = 0; lane < GAIN_LANES; lane++) {
            gains[j + lane] = (cosine[lane] + 1.0) / 2.0;
            const double next = cosine[lane] * step_cos - sine[lane] * step_sin;
            sine[lane] = sine[lane] * step_cos + cosine[lane] * step_sin;
            cosine[lane] = next;
        }
    }
}

void estimate_gains(std::int32_t fade_pattern, std::int32_t first_frame, std::int32_t frames,
                    std::int32_t count, double *gains)
{
    const double n = static_cast<double>(frames);
    const double k = static_cast<double>(first_frame);
    const double step = 1.0 / n;
    switch (fade_pattern) {
    case 0:
        estimate_exponential(k, n, count, gains);
        break;
    case 1:
        for (std::int32_t j = 0; j < count; j++)
            gains[j] = 1.0 - (k + j) * step;
        break;
    case 2:
        estimate_exponential(k, n, count, gains);
        for (std::int32_t j = 0; j < count; j++)
            gains[j] = (gains[j] + (1.0 - (k + j) * step)) / 2.0;
        break;
    case 3:
        estimate_cosine(k, n, count, gains);
        break;
    default:
        for (std::int32_t j = 0; j < count; j++)
            gains[j] = 1.0;
        break;
    }
}

// The bound on how far sample * estimate lies from sample * (exact gain):
// the gain's error times the largest sample, plus the products' rounding.
static constexpr double PRODUCT_ERROR = 32768.0 * GAIN_ERROR + GAIN_ERROR;

// Scales a block's samples by their frames' estimated gains. Truncation is
// monotonic: when both ends of the interval around an estimated product
// truncate alike, so does the exact product. Returns whether every sample
// was decided so; the loop has no branch, so that it vectorises.
static bool scale_block_estimated(const unsigned char *block, const double *gains,
                                  std::int32_t count, std::int16_t *scaled)
{
    int undecided = 0;
    for (std::int32_t j = 0; j < count; j++) {
        const double left = static_cast<double>(load_sample(block + 4 * j)) * gains[j];
        const double right = static_cast<double>(load_sample(block + 4 * j + 2)) * gains[j];
        const int left_low = static_cast<int>(left - PRODUCT_ERROR);
        const int right_low = static_cast<int>(right - PRODUCT_ERROR);
        undecided |= (left_low ^ static_cast<int>(left + PRODUCT_ERROR)) |
                     (right_low ^ static_cast<int>(right + PRODUCT_ERROR));
        scaled[2 * j] = static_cast<std::int16_t>(left_low);
        scaled[2 * j + 1] = static_cast<std::int16_t>(right_low);
    }
    return undecided == 0;
}

// Redoes, with the exact gain, every sample of a block the estimate left
// in doubt.
static void settle_block(const unsigned char *block, const double *gains, std::int32_t count,
                         std::int32_t first_frame, std::int32_t frames, std::int32_t fade_pattern,
                         std::int16_t *scaled)
{
    for (std::int32_t i = 0; i < 2 * count; i++) {
        const std::int16_t sample = load_sample(block + 2 * i);
        const double product = static_cast<double>(sample) * gains[i / 2];
        if (static_cast<int>(product - PRODUCT_ERROR) != static_cast<int>(product + PRODUCT_ERROR))
            scaled[i] = scale_sample(sample, fade_gain(fade_pattern, first_frame + i / 2, frames));
    }
}

void scale_chunk(unsigned char *chunk, std::int32_t bytes, std::int32_t first_frame,
                 std::int32_t frames, std::int32_t fade_pattern)
{
    double gains[STEP_BLOCK_FRAMES];
    std::int16_t scaled[2 * STEP_BLOCK_FRAMES];
    const std::int32_t chunk_frames = bytes / FRAME_BYTES;
    for (std::int32_t block = 0; block < chunk_frames; block += STEP_BLOCK_FRAMES) {
        const std::int32_t count = chunk_frames - block < STEP_BLOCK_FRAMES
                                       ? chunk_frames - block
                                       : STEP_BLOCK_FRAMES;
        unsigned char *bytes_at = chunk + block * FRAME_BYTES;
        estimate_gains(fade_pattern, first_frame + block, frames, count, gains);
        if (!scale_block_estimated(bytes_at, gains, count, scaled))
            settle_block(bytes_at, gains, count, first_frame + block, frames, fade_pattern, scaled);
        for (std::int32_t i = 0; i < 2 * count; i++)
            store_sample(bytes_at + 2 * i, scaled[i]);
    }
}
