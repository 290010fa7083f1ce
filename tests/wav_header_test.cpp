#include <gtest/gtest.h>

#include "render/wav_header.h"

TEST(WavHeader, TrackOneAtDefaultSettings)
{
    const unsigned char expected[WAV_HEADER_BYTES] = {
        'R', 'I', 'F', 'F',      //  0: chunk id
        0x40, 0x41, 0x9D, 0x01,  //  4: 27083072 = data length + 36
        'W', 'A', 'V', 'E',      //  8: form type
        'f', 'm', 't', ' ',      // 12: format chunk id
        0x10, 0x00, 0x00, 0x00,  // 16: format chunk size 16
        0x01, 0x00,              // 20: PCM
        0x02, 0x00,              // 22: two channels
        0x44, 0xAC, 0x00, 0x00,  // 24: 44100 frames per second
        0x10, 0xB1, 0x02, 0x00,  // 28: 176400 bytes per second
        0x04, 0x00,              // 32: four bytes per frame
        0x10, 0x00,              // 34: 16 bits per sample
        'd', 'a', 't', 'a',      // 36: data chunk id
        0x1C, 0x41, 0x9D, 0x01,  // 40: 27083036 bytes of PCM
    };
    unsigned char header[WAV_HEADER_BYTES];
    write_wav_header(header, 27083036);
    for (int i = 0; i < WAV_HEADER_BYTES; i++)
        EXPECT_EQ(header[i], expected[i]) << "byte " << i;
}

TEST(WavHeader, LargestDataLength)
{
    // Track 1, ten passes, a 30-second extension: 135454076 = 0x0812DD7C.
    unsigned char header[WAV_HEADER_BYTES];
    write_wav_header(header, 135454076);
    const unsigned char riff_size[4] = {0xA0, 0xDD, 0x12, 0x08};  // + 36
    const unsigned char data_size[4] = {0x7C, 0xDD, 0x12, 0x08};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(header[4 + i], riff_size[i]);
        EXPECT_EQ(header[40 + i], data_size[i]);
    }
}
