// bgm-demo-data: writes a stand-in "qv902b_bgm_tmp.dat" with the real
// file's layout, so that the tool can be tried without the game. Every
// track is its own short tune of plucked notes; every note starts and ends
// at silence, so the loop body joins its own start (and the intro) without
// a click and the repeats and fades can be heard. A 44-byte WAV header
// stands in front of every track, as in the real file. An existing data
// file is never overwritten: when it is this very demo data, byte for
// byte, that is success all the same, so the tool can be run again.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "render/audio_format.h"
#include "render/track_table.h"
#include "render/wav_header.h"
#include "host/host.h"
#include "run/extract.h"
#include "run/options.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

// The file ends at the last track's loop end.
constexpr std::int32_t DEMO_DATA_BYTES = track_table[TRACK_COUNT - 1].end;

const int MAJOR[5] = {0, 2, 4, 7, 9};   // pentatonic scales, in semitones
const int MINOR[5] = {0, 3, 5, 7, 10};

struct tune {
    double note_seconds;  // one melody note
    double root_hz;       // the key
    const int *scale;
    double decay;         // per second: how fast a note dies away
};

// One tune per track, in the mood of its title.
const tune TUNES[TRACK_COUNT] = {
    {0.30, 261.63, MAJOR, 3.0},  // a morning: bright and calm
    {0.25, 293.66, MAJOR, 4.0},  // a harbour town
    {0.35, 220.00, MAJOR, 2.5},  // a forest path
    {0.15, 246.94, MINOR, 6.0},  // battle
    {0.40, 196.00, MAJOR, 2.0},  // a hill at sunset
    {0.30, 329.63, MAJOR, 2.5},  // a prayer to the sky
    {0.45, 174.61, MAJOR, 1.5},  // a quiet lake
    {0.25, 164.81, MINOR, 4.0},  // a dungeon
    {0.35, 392.00, MINOR, 2.5},  // a snowy town
    {0.30, 233.08, MAJOR, 3.0},  // a windy plain
    {0.20, 277.18, MAJOR, 4.5},  // a busy street
    {0.14, 207.65, MINOR, 6.5},  // the last battle
    {0.50, 261.63, MINOR, 1.2},  // the journey's end
};

// Writes the demo data to a file, or compares it with one.
struct writer {
    std::FILE *file;
    unsigned char buffer[CHUNK_BYTES];
    std::int32_t used;
    bool failed;  // a write failed, or the compared file differs
    bool comparing;
    unsigned char file_bytes[CHUNK_BYTES];
};

void flush(writer &out)
{
    const auto bytes = static_cast<std::size_t>(out.used);
    out.used = 0;
    if (bytes == 0 || out.failed)
        return;
    if (out.comparing)
        out.failed = std::fread(out.file_bytes, 1, bytes, out.file) != bytes ||
                     std::memcmp(out.file_bytes, out.buffer, bytes) != 0;
    else
        out.failed = std::fwrite(out.buffer, 1, bytes, out.file) != bytes;
}

void put_byte(writer &out, unsigned char byte)
{
    if (out.used == CHUNK_BYTES)
        flush(out);
    out.buffer[out.used++] = byte;
}

void put_sample(writer &out, double value)
{
    const auto sample = static_cast<std::int16_t>(std::lround(value * 32767.0));
    const auto bits = static_cast<std::uint16_t>(sample);
    put_byte(out, static_cast<unsigned char>(bits & 0xFF));
    put_byte(out, static_cast<unsigned char>(bits >> 8));
}

void put_silence(writer &out, std::int32_t bytes)
{
    for (std::int32_t i = 0; i < bytes; i++)
        put_byte(out, 0);
}

void put_header(writer &out, std::int32_t data_length)
{
    unsigned char header[WAV_HEADER_BYTES];
    write_wav_header(header, data_length);
    for (const unsigned char byte : header)
        put_byte(out, byte);
}

// A small deterministic generator: the same tunes on every host.
std::uint32_t next_random(std::uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 16;
}

double note_hz(const tune &t, int degree)
{
    const int octave = degree / 5;
    const int semitones = 12 * octave + t.scale[degree % 5];
    return t.root_hz * std::pow(2.0, semitones / 12.0);
}

// One plucked note of `frames` frames: melody on the left, its bass an
// octave and a fifth below on the right, both from and back to silence.
void put_note(writer &out, const tune &t, double melody_hz, double bass_hz, std::int32_t frames)
{
    const double two_pi = 6.283185307179586;
    const std::int32_t edge = SAMPLE_RATE / 200;  // 5 ms in and out
    for (std::int32_t i = 0; i < frames; i++) {
        const double seconds = static_cast<double>(i) / SAMPLE_RATE;
        double envelope = std::exp(-t.decay * seconds);
        if (i < edge)
            envelope *= static_cast<double>(i) / edge;
        if (frames - i < edge)
            envelope *= static_cast<double>(frames - i) / edge;
        const double melody = std::sin(two_pi * melody_hz * seconds) +
                              0.3 * std::sin(2 * two_pi * melody_hz * seconds);
        const double bass = std::sin(two_pi * bass_hz * seconds);
        put_sample(out, 0.30 * envelope * (0.8 * melody + 0.3 * bass));
        put_sample(out, 0.30 * envelope * (0.4 * melody + 0.7 * bass));
    }
}

// A phrase of whole notes filling exactly `bytes` bytes.
void put_phrase(writer &out, const tune &t, std::uint32_t seed, std::int32_t bytes)
{
    const std::int32_t frames = bytes / FRAME_BYTES;
    const auto note_frames = static_cast<std::int32_t>(t.note_seconds * SAMPLE_RATE);
    const std::int32_t notes = frames / note_frames > 0 ? frames / note_frames : 1;
    std::uint32_t state = seed;
    int degree = 5;
    for (std::int32_t n = 0; n < notes; n++) {
        degree += static_cast<int>(next_random(state) % 5) - 2;  // a step or two
        degree = degree < 2 ? 2 : degree > 11 ? 11 : degree;
        const int bass_degree = (n / 4) % 2 == 0 ? 0 : 3;        // root, then the fifth
        const std::int32_t length = n + 1 < notes ? note_frames : frames - n * note_frames;
        put_note(out, t, note_hz(t, degree), note_hz(t, bass_degree) / 2, length);
    }
}

void put_track(writer &out, int index)
{
    const track_entry &entry = track_table[index];
    const tune &t = TUNES[index];
    const std::int32_t next_header =
        index + 1 < TRACK_COUNT ? track_table[index + 1].start - WAV_HEADER_BYTES : DEMO_DATA_BYTES;
    put_header(out, next_header - entry.start);
    if (entry.loop > entry.start)
        put_phrase(out, t, 1000u + static_cast<std::uint32_t>(index), entry.loop - entry.start);
    put_phrase(out, t, 2000u + static_cast<std::uint32_t>(index), entry.end - entry.loop);
    put_silence(out, next_header - entry.end);  // what the game keeps after the loop
}

writer demo_writer;  // the buffers are too large for the stack

void put_all(writer &out)
{
    out.used = 0;
    for (int index = 0; index < TRACK_COUNT && !out.failed; index++)
        put_track(out, index);
    flush(out);
}

// Whether the existing data file is exactly the demo data.
bool is_demo_data()
{
    writer &out = demo_writer;
    out.file = std::fopen(DATA_FILE_NAME, "rb");
    if (out.file == nullptr)
        return false;
    out.comparing = true;
    out.failed = std::fseek(out.file, 0, SEEK_END) != 0 ||
                 std::ftell(out.file) != DEMO_DATA_BYTES || std::fseek(out.file, 0, SEEK_SET) != 0;
    put_all(out);
    std::fclose(out.file);
    return !out.failed;
}

const char USAGE_LINE[] = "usage: bgm-demo-data [--help | --version]\n";
const char HELP_TEXT[] =
    "Writes a stand-in qv902b_bgm_tmp.dat into the current folder: thirteen\n"
    "short tunes in the game's layout, so that bgm-extract can be tried\n"
    "without the game. It never writes over a file that is already there.\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// The program takes no arguments but a request for help or the version.
int answer_arguments(int argc, char **argv)
{
    switch (find_request(argc, argv)) {
    case REQUEST_HELP:
        std::fputs(USAGE_LINE, stdout);
        std::fputs(HELP_TEXT, stdout);
        host_print_more_help("bgm-demo-data");
        return EXIT_DONE;
    case REQUEST_VERSION:
        print_version("bgm-demo-data");
        return EXIT_DONE;
    case REQUEST_RUN:
        break;
    }
    std::fputs(USAGE_LINE, stdout);
    return EXIT_REJECTED;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        return answer_arguments(argc, argv);
    const int fd = open(DATA_FILE_NAME, O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0644);
    if (fd < 0 && errno == EEXIST) {
        if (is_demo_data()) {
            std::printf("%s is the demo data already; leaving it as it is\n", DATA_FILE_NAME);
            return 0;
        }
        std::printf("%s already exists; not overwriting it\n", DATA_FILE_NAME);
        return 1;
    }
    if (fd < 0) {
        std::printf("cannot create %s: %s\n", DATA_FILE_NAME, std::strerror(errno));
        return 1;
    }
    writer &out = demo_writer;
    out.file = fdopen(fd, "wb");
    out.comparing = false;
    out.failed = out.file == nullptr;
    if (!out.failed)
        put_all(out);
    if (out.file == nullptr || std::fclose(out.file) != 0)
        out.failed = true;
    if (out.failed) {
        std::remove(DATA_FILE_NAME);
        std::printf("cannot write %s\n", DATA_FILE_NAME);
        return 1;
    }
    std::printf("wrote %s: %d bytes of demo music\n", DATA_FILE_NAME, DEMO_DATA_BYTES);
    return 0;
}
