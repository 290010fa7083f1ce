#include "render/wav_header.h"

#include "render/audio_format.h"

static unsigned char *put_tag(unsigned char *at, const char tag[4])
{
    for (int i = 0; i < 4; i++)
        at[i] = static_cast<unsigned char>(tag[i]);
    return at + 4;
}

static unsigned char *put_u16(unsigned char *at, std::uint32_t value)
{
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
    return at + 2;
}

static unsigned char *put_u32(unsigned char *at, std::uint32_t value)
{
    at = put_u16(at, value & 0xFFFF);
    return put_u16(at, value >> 16);
}

void write_wav_header(unsigned char header[WAV_HEADER_BYTES], std::int32_t data_length)
{
    const auto data_bytes = static_cast<std::uint32_t>(data_length);
    unsigned char *at = header;
    at = put_tag(at, "RIFF");                    //  0: RIFF chunk id
    at = put_u32(at, data_bytes + 36);           //  4: bytes after this field: 4 + 24 + 8 + data
    at = put_tag(at, "WAVE");                    //  8: form type
    at = put_tag(at, "fmt ");                    // 12: format chunk id
    at = put_u32(at, 16);                        // 16: format chunk size
    at = put_u16(at, 1);                         // 20: format tag: integer PCM
    at = put_u16(at, 2);                         // 22: channels
    at = put_u32(at, SAMPLE_RATE);               // 24: frames per second
    at = put_u32(at, BYTES_PER_SECOND);          // 28: bytes per second
    at = put_u16(at, FRAME_BYTES);               // 32: bytes per frame (block align)
    at = put_u16(at, 16);                        // 34: bits per sample
    at = put_tag(at, "data");                    // 36: data chunk id
    put_u32(at, data_bytes);                     // 40: PCM bytes that follow
}
