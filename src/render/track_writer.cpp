#include "render/track_writer.h"

#include <cstddef>

#include "render/audio_format.h"
#include "render/fade.h"
#include "render/wav_header.h"

// The one copy buffer, reused for every chunk of every track.
static unsigned char copy_buffer[CHUNK_BYTES];

static bool read_chunk(std::FILE *data_file, std::int32_t offset, std::int32_t bytes)
{
    if (std::fseek(data_file, static_cast<long>(offset), SEEK_SET) != 0)
        return false;
    const auto wanted = static_cast<std::size_t>(bytes);
    return std::fread(copy_buffer, 1, wanted, data_file) == wanted;
}

static bool write_chunk(std::FILE *out_file, std::int32_t bytes)
{
    const auto wanted = static_cast<std::size_t>(bytes);
    return std::fwrite(copy_buffer, 1, wanted, out_file) == wanted;
}

// Bytes of the chunk that begins at offset, for a span ending at to.
static std::int32_t chunk_bytes(std::int32_t offset, std::int32_t to)
{
    return to - offset < CHUNK_BYTES ? to - offset : CHUNK_BYTES;
}

render_result copy_span(std::FILE *data_file, std::FILE *out_file, std::int32_t from,
                        std::int32_t to)
{
    for (std::int32_t offset = from; offset < to; offset += CHUNK_BYTES) {
        const std::int32_t bytes = chunk_bytes(offset, to);
        if (!read_chunk(data_file, offset, bytes))
            return RENDER_READ_FAILED;
        if (!write_chunk(out_file, bytes))
            return RENDER_WRITE_FAILED;
    }
    return RENDER_OK;
}

render_result fade_span(std::FILE *data_file, std::FILE *out_file, std::int32_t from,
                        std::int32_t to, std::int32_t first_frame, std::int32_t fade_frames,
                        std::int32_t fade_pattern)
{
    for (std::int32_t offset = from; offset < to; offset += CHUNK_BYTES) {
        const std::int32_t bytes = chunk_bytes(offset, to);
        if (!read_chunk(data_file, offset, bytes))
            return RENDER_READ_FAILED;
        const std::int32_t frame = first_frame + (offset - from) / FRAME_BYTES;
        scale_chunk(copy_buffer, bytes, frame, fade_frames, fade_pattern);
        if (!write_chunk(out_file, bytes))
            return RENDER_WRITE_FAILED;
    }
    return RENDER_OK;
}

// The output after the header is a run of spans of the data file. The fade
// covers the output's last fade_frames frames, wherever the spans that hold
// them come from.
struct output_cursor {
    std::FILE *data_file;
    std::FILE *out_file;
    std::int32_t position;      // output bytes written so far, header excluded
    std::int32_t fade_begin;    // output position of the fade's first frame
    std::int32_t fade_frames;   // the fade's length in frames
    std::int32_t fade_pattern;
};

// Appends the data file's bytes [from, to): plainly up to the fade's
// beginning, faded from there on.
static render_result emit_span(output_cursor &cursor, std::int32_t from, std::int32_t to)
{
    const std::int32_t length = to - from;
    std::int32_t plain = cursor.fade_begin - cursor.position;
    if (plain < 0)
        plain = 0;
    if (plain > length)
        plain = length;
    render_result result = copy_span(cursor.data_file, cursor.out_file, from, from + plain);
    if (result == RENDER_OK && plain < length) {
        const std::int32_t first_frame = (cursor.position + plain - cursor.fade_begin) / FRAME_BYTES;
        result = fade_span(cursor.data_file, cursor.out_file, from + plain, to, first_frame,
                           cursor.fade_frames, cursor.fade_pattern);
    }
    cursor.position += length;
    return result;
}

render_result render_track(std::FILE *data_file, std::FILE *out_file, const track_entry &entry,
                           const extract_settings &settings)
{
    const std::int32_t body = entry.end - entry.loop;
    // The intro once and the loop body once per pass. With checked settings
    // the largest output (track 1, 10 passes, a 30 s extension) is 135454076
    // bytes, far from the 32-bit limit.
    const std::int32_t passes_length = (entry.end - entry.start) + (settings.repeat - 1) * body;
    const std::int32_t fade_seconds = settings.fade < 0 ? -settings.fade : settings.fade;
    std::int32_t fade_length = fade_seconds * BYTES_PER_SECOND;
    // An extension adds its seconds to the file; an in-place fade takes the
    // last seconds of the passes, or all of them when they are shorter.
    const std::int32_t data_length = passes_length + (settings.fade < 0 ? fade_length : 0);
    if (fade_length > data_length)
        fade_length = data_length;

    unsigned char header[WAV_HEADER_BYTES];
    write_wav_header(header, data_length);
    if (std::fwrite(header, 1, sizeof header, out_file) != sizeof header)
        return RENDER_WRITE_FAILED;

    output_cursor cursor{data_file, out_file, 0, data_length - fade_length,
                         fade_length / FRAME_BYTES, settings.fade_pattern};
    render_result result = emit_span(cursor, entry.start, entry.end);
    for (std::int32_t pass = 1; pass < settings.repeat && result == RENDER_OK; pass++)
        result = emit_span(cursor, entry.loop, entry.end);
    // The extension plays on from the loop point, wrapping back to it at the
    // loop end as if the loop kept playing, so that no byte outside the
    // track is ever read.
    if (settings.fade < 0) {
        std::int32_t remaining = fade_length;
        while (remaining > 0 && result == RENDER_OK) {
            const std::int32_t bytes = remaining < body ? remaining : body;
            result = emit_span(cursor, entry.loop, entry.loop + bytes);
            remaining -= bytes;
        }
    }
    return result;
}
