#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "render/fade.h"

constexpr std::int32_t TEN_SECONDS = 441000;  // frames

TEST(FadeGain, IsExactlyOneAtTheFirstFrame)
{
    for (int pattern = 0; pattern < FADE_PATTERN_COUNT; pattern++)
        EXPECT_EQ(fade_gain(pattern, 0, TEN_SECONDS), 1.0) << pattern;
}

TEST(FadeGain, MiddleOfTheSection)
{
    const std::int32_t middle = TEN_SECONDS / 2;
    EXPECT_NEAR(fade_gain(0, middle, TEN_SECONDS), 0.0316, 0.00005);  // -30 dB
    EXPECT_EQ(fade_gain(1, middle, TEN_SECONDS), 0.5);
    EXPECT_NEAR(fade_gain(2, middle, TEN_SECONDS), 0.2658, 0.00005);
    EXPECT_NEAR(fade_gain(3, middle, TEN_SECONDS), 0.5, 0.00005);
}

TEST(FadeGain, LastFrameOfATenSecondSection)
{
    const std::int32_t last = TEN_SECONDS - 1;
    EXPECT_NEAR(fade_gain(1, last, TEN_SECONDS), 1.0 / 441000, 1e-15);
    const double exponential = fade_gain(0, last, TEN_SECONDS);
    EXPECT_GT(exponential, 0.001);
    EXPECT_LT(exponential, 0.001 * 1.0001);
}

TEST(FadeGain, RaisedCosineUsesTheTenDecimalConstant)
{
    // At the middle, the ten-decimal constant falls 9e-11 short of pi, which
    // lifts the gain by about 2.2e-11 above what full precision gives.
    const std::int32_t k = TEN_SECONDS / 2;
    const double gain = fade_gain(3, k, TEN_SECONDS);
    EXPECT_EQ(gain, (std::cos(k * 3.1415926535 / TEN_SECONDS) + 1) / 2);
    EXPECT_NE(gain, (std::cos(k * 3.14159265358979323846 / TEN_SECONDS) + 1) / 2);
    EXPECT_NEAR(gain - 0.5, 2.245e-11, 0.01e-11);
}

TEST(FadeGain, StaysWithinZeroAndOne)
{
    for (int pattern = 0; pattern < FADE_PATTERN_COUNT; pattern++) {
        for (const std::int32_t k : {1, 1000, TEN_SECONDS / 3, TEN_SECONDS - 1}) {
            const double gain = fade_gain(pattern, k, TEN_SECONDS);
            EXPECT_GT(gain, 0.0);
            EXPECT_LT(gain, 1.0);
        }
    }
}

TEST(ScaleSample, TruncatesTowardZero)
{
    struct {
        std::int16_t sample;
        double gain;
        std::int16_t scaled;
    } const cases[] = {
        {-3, 0.5, -1}, {3, 0.5, 1},   {-32768, 1.0, -32768}, {32767, 1.0, 32767},
        {-1, 0.999, 0}, {1, 0.999, 0}, {-32768, 0.5, -16384}, {100, 0.001, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(scale_sample(c.sample, c.gain), c.scaled) << c.sample << " x " << c.gain;
}

TEST(ScaleChunk, ScalesBothSamplesOfAFrameByItsGain)
{
    // Two frames of a four-frame linear fade, starting at frame 2: gains 0.5
    // and 0.25.
    unsigned char chunk[8] = {0x64, 0x00, 0x9C, 0xFF,   // 100, -100
                              0x00, 0x80, 0xFF, 0x7F};  // -32768, 32767
    scale_chunk(chunk, 8, 2, 4, 1);
    const unsigned char expected[8] = {0x32, 0x00, 0xCE, 0xFF,   // 50, -50
                                       0x00, 0xE0, 0xFF, 0x1F};  // -8192, 8191
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(chunk[i], expected[i]) << i;
}

TEST(EstimatedGains, StayFarWithinTheirErrorBoundOverABlock)
{
    std::vector<double> gains(STEP_BLOCK_FRAMES);
    for (int pattern = 0; pattern < FADE_PATTERN_COUNT; pattern++) {
        for (const std::int32_t frames : {1323000, 441000, 948034, 44100, 5000}) {
            double worst = 0;
            for (std::int32_t first = 0; first < frames; first += frames / 7 + 1) {
                const std::int32_t count = std::min(STEP_BLOCK_FRAMES, frames - first);
                estimate_gains(pattern, first, frames, count, gains.data());
                for (std::int32_t j = 0; j < count; j++)
                    worst = std::max(worst, std::fabs(gains[j] - fade_gain(pattern, first + j, frames)));
            }
            EXPECT_LT(worst, GAIN_ERROR / 100) << "pattern " << pattern << ", " << frames;
        }
    }
}

TEST(ScaleChunk, IsExactlyScalingEveryFrameByItsGain)
{
    // Every sample value from -32768 to 32767, twice over, in frames spread
    // across fades of several lengths, with blocks cut where a chunk begins.
    std::vector<unsigned char> original;
    for (std::int32_t i = 0; i < 2 * 65536; i++) {
        const auto left = static_cast<std::uint16_t>(i);
        const auto right = static_cast<std::uint16_t>(static_cast<std::uint32_t>(i) * 40503u + 7u);
        original.insert(original.end(), {static_cast<unsigned char>(left & 0xFF),
                                         static_cast<unsigned char>(left >> 8),
                                         static_cast<unsigned char>(right & 0xFF),
                                         static_cast<unsigned char>(right >> 8)});
    }
    const auto chunk_bytes = static_cast<std::int32_t>(original.size());
    for (int pattern = 0; pattern < FADE_PATTERN_COUNT; pattern++) {
        for (const std::int32_t frames : {1323000, 948034, 441000}) {
            for (const std::int32_t first : {0, 1000, frames / 2 - 3, frames - 65536 * 2}) {
                std::vector<unsigned char> chunk = original;
                scale_chunk(chunk.data(), chunk_bytes, first, frames, pattern);
                int mismatches = 0;
                for (std::size_t at = 0; at < chunk.size(); at += 2) {
                    const auto k = static_cast<std::int32_t>(first + at / 4);
                    const auto sample = static_cast<std::int16_t>(original[at] | (original[at + 1] << 8));
                    const auto scaled = static_cast<std::int16_t>(chunk[at] | (chunk[at + 1] << 8));
                    mismatches += scaled != scale_sample(sample, fade_gain(pattern, k, frames));
                }
                EXPECT_EQ(mismatches, 0) << "pattern " << pattern << ", " << frames << ", " << first;
            }
        }
    }
}
