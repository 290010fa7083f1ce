// Audio units shared by the writer and the fades: 16-bit signed
// little-endian stereo PCM at 44100 frames per second, left sample first.
#pragma once

#include <cstdint>

constexpr std::int32_t SAMPLE_RATE = 44100;       // frames per second
constexpr std::int32_t FRAME_BYTES = 4;           // two 16-bit samples
constexpr std::int32_t BYTES_PER_SECOND = SAMPLE_RATE * FRAME_BYTES;  // 176400
constexpr std::int32_t CHUNK_BYTES = BYTES_PER_SECOND;  // copy buffer: one second
