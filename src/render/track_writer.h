// Writes one track's WAV file: the header, the intro once, the loop body
// once per pass, and the fade, copied from the data file in one-second
// chunks through a single buffer.
#pragma once

#include <cstdint>
#include <cstdio>

#include "render/track_table.h"
#include "run/settings.h"

enum render_result {
    RENDER_OK,
    RENDER_READ_FAILED,   // a seek failed or a read came back short
    RENDER_WRITE_FAILED,  // a write came back short
};

// Writes the whole file for entry into out_file, which is empty. settings
// must have passed check_settings. Every read seeks first, so the data
// file's position on entry does not matter. The caller flushes and closes
// out_file.
render_result render_track(std::FILE *data_file, std::FILE *out_file, const track_entry &entry,
                           const extract_settings &settings);

// Copies the bytes [from, to) of the data file to the output, in chunks of
// CHUNK_BYTES cut from `from`, each chunk sought afresh.
render_result copy_span(std::FILE *data_file, std::FILE *out_file, std::int32_t from,
                        std::int32_t to);

// Like copy_span, but scales every frame before writing it: the frame at
// `from` is frame first_frame of a fade of fade_frames frames.
render_result fade_span(std::FILE *data_file, std::FILE *out_file, std::int32_t from,
                        std::int32_t to, std::int32_t first_frame, std::int32_t fade_frames,
                        std::int32_t fade_pattern);
