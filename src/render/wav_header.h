// The canonical 44-byte header of a 16-bit stereo PCM WAV file.
#pragma once

#include <cstdint>

constexpr int WAV_HEADER_BYTES = 44;

// Fills header for a file whose data chunk holds data_length bytes of
// PCM. data_length must lie in [0, INT32_MAX - 36].
void write_wav_header(unsigned char header[WAV_HEADER_BYTES], std::int32_t data_length);
