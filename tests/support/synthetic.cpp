#include "synthetic.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

static std::uint16_t left_bits(std::int64_t frame)
{
    return static_cast<std::uint16_t>(frame & 0xFFFF);
}

static std::uint16_t right_bits(std::int64_t frame)
{
    // frame >> 16 stays below 512 for any file under 128 MiB; the bits above
    // it are scrambled from the frame number.
    return static_cast<std::uint16_t>((frame >> 16) | ((frame * 40503) & 0xFE00));
}

std::int16_t pattern_left(std::int64_t offset)
{
    return static_cast<std::int16_t>(left_bits(offset / 4));
}

std::int16_t pattern_right(std::int64_t offset)
{
    return static_cast<std::int16_t>(right_bits(offset / 4));
}

void append_pattern(std::vector<unsigned char> &out, std::int64_t from, std::int64_t to)
{
    out.reserve(out.size() + static_cast<std::size_t>(to - from));
    for (std::int64_t frame = from / 4; frame < to / 4; frame++) {
        const std::uint16_t left = left_bits(frame);
        const std::uint16_t right = right_bits(frame);
        out.push_back(static_cast<unsigned char>(left & 0xFF));
        out.push_back(static_cast<unsigned char>(left >> 8));
        out.push_back(static_cast<unsigned char>(right & 0xFF));
        out.push_back(static_cast<unsigned char>(right >> 8));
    }
}

bool write_pattern_file(const std::string &path, std::int64_t bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    constexpr std::int64_t BLOCK = 1 << 20;
    std::vector<unsigned char> block;
    for (std::int64_t from = 0; from < bytes && out; from += BLOCK) {
        block.clear();
        const std::int64_t to = std::min(bytes, from + BLOCK);
        append_pattern(block, from, to - (to - from) % 4);
        while (static_cast<std::int64_t>(block.size()) < to - from)
            block.push_back(0xA5);  // a cut inside a frame
        out.write(reinterpret_cast<const char *>(block.data()),
                  static_cast<std::streamsize>(block.size()));
    }
    out.close();
    return static_cast<bool>(out);
}

double reference_gain(int pattern, std::int64_t k, std::int64_t n)
{
    const double t = static_cast<double>(k) / static_cast<double>(n);
    switch (pattern) {
    case 0: return std::pow(0.001, t);
    case 1: return 1.0 - t;
    case 2: return (std::pow(0.001, t) + (1.0 - t)) / 2.0;
    default: return (std::cos(static_cast<double>(k) * 3.1415926535 / static_cast<double>(n)) + 1.0) / 2.0;
    }
}

static void put_u32(std::vector<unsigned char> &out, std::uint32_t value)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

static void put_text(std::vector<unsigned char> &out, const char *text)
{
    for (; *text; text++)
        out.push_back(static_cast<unsigned char>(*text));
}

// Scales the frames of block that lie in the fade: block starts at output
// position `position`, the fade covers [fade_begin, fade_begin + fade_bytes).
static void fade_block(std::vector<unsigned char> &block, std::int64_t position,
                       std::int64_t fade_begin, std::int64_t fade_bytes, int pattern)
{
    const std::int64_t n = fade_bytes / 4;
    for (std::size_t at = 0; at < block.size(); at += 4) {
        const std::int64_t offset = position + static_cast<std::int64_t>(at);
        if (offset < fade_begin)
            continue;
        const std::int64_t k = (offset - fade_begin) / 4;
        const double gain = reference_gain(pattern, k, n);
        for (std::size_t channel = 0; channel < 4; channel += 2) {
            unsigned char *sample = &block[at + channel];
            const auto value = static_cast<std::int16_t>(sample[0] | (sample[1] << 8));
            const auto scaled = static_cast<std::int16_t>(std::trunc(value * gain));
            sample[0] = static_cast<unsigned char>(scaled & 0xFF);
            sample[1] = static_cast<unsigned char>((scaled >> 8) & 0xFF);
        }
    }
}

void generate_expected(const std::vector<data_span> &spans, std::int64_t fade_bytes,
                       int fade_pattern,
                       const std::function<bool(const unsigned char *, std::size_t)> &sink)
{
    std::int64_t data_length = 0;
    for (const data_span &span : spans)
        data_length += span.to - span.from;
    std::vector<unsigned char> block;
    put_text(block, "RIFF");
    put_u32(block, static_cast<std::uint32_t>(data_length + 36));
    put_text(block, "WAVEfmt ");
    put_u32(block, 16);
    put_u32(block, 1 | (2 << 16));  // PCM, two channels
    put_u32(block, 44100);
    put_u32(block, 176400);
    put_u32(block, 4 | (16 << 16)); // four bytes a frame, 16 bits a sample
    put_text(block, "data");
    put_u32(block, static_cast<std::uint32_t>(data_length));
    if (!sink(block.data(), block.size()))
        return;
    const std::int64_t fade_begin = data_length - fade_bytes;
    std::int64_t position = 0;
    constexpr std::int64_t BLOCK = 1 << 20;
    for (const data_span &span : spans) {
        for (std::int64_t from = span.from; from < span.to; from += BLOCK) {
            const std::int64_t to = std::min(span.to, from + BLOCK);
            block.clear();
            append_pattern(block, from, to);
            if (fade_bytes > 0 && position + (to - from) > fade_begin)
                fade_block(block, position, fade_begin, fade_bytes, fade_pattern);
            position += to - from;
            if (!sink(block.data(), block.size()))
                return;
        }
    }
}

std::vector<unsigned char> expected_file(const std::vector<data_span> &spans,
                                         std::int64_t fade_bytes, int fade_pattern)
{
    std::vector<unsigned char> file;
    generate_expected(spans, fade_bytes, fade_pattern, [&](const unsigned char *bytes, std::size_t size) {
        file.insert(file.end(), bytes, bytes + size);
        return true;
    });
    return file;
}

bool file_matches(const std::string &path, const std::vector<data_span> &spans,
                  std::int64_t fade_bytes, int fade_pattern)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> actual;
    bool same = true;
    generate_expected(spans, fade_bytes, fade_pattern, [&](const unsigned char *bytes, std::size_t size) {
        actual.resize(size);
        in.read(actual.data(), static_cast<std::streamsize>(size));
        same = in.gcount() == static_cast<std::streamsize>(size) &&
               std::memcmp(actual.data(), bytes, size) == 0;
        return same;
    });
    return same && in.peek() == std::ifstream::traits_type::eof();
}

track_plan plan_track(std::int64_t start, std::int64_t loop, std::int64_t end, int repeat,
                      int fade)
{
    track_plan plan{{{start, end}}, 0};
    for (int pass = 1; pass < repeat; pass++)
        plan.spans.push_back({loop, end});
    const std::int64_t passes = (end - start) + (repeat - 1) * (end - loop);
    plan.fade_bytes = std::abs(fade) * std::int64_t{176400};
    if (fade < 0) {
        for (std::int64_t left = plan.fade_bytes; left > 0; left -= end - loop)
            plan.spans.push_back({loop, loop + std::min(left, end - loop)});
    } else if (plan.fade_bytes > passes) {
        plan.fade_bytes = passes;
    }
    return plan;
}

std::vector<unsigned char> expected_track_file(std::int64_t start, std::int64_t loop,
                                               std::int64_t end, int repeat, int fade,
                                               int fade_pattern)
{
    const track_plan plan = plan_track(start, loop, end, repeat, fade);
    return expected_file(plan.spans, plan.fade_bytes, fade_pattern);
}

std::vector<unsigned char> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}
