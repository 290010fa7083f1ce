#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/audio_format.h"
#include "render/track_writer.h"
#include "scratch.h"
#include "synthetic.h"

namespace {

extract_settings with(int repeat, int fade = 0, int fade_pattern = 0)
{
    extract_settings settings = default_settings();
    settings.repeat = repeat;
    settings.fade = fade;
    settings.fade_pattern = fade_pattern;
    return settings;
}

// Renders one track from the shared data file into a scratch file and
// returns the file's bytes.
std::vector<unsigned char> render(int track, const extract_settings &settings,
                                  render_result expected_result = RENDER_OK,
                                  const std::string &data_path = shared_data_file())
{
    scratch_dir dir;
    std::FILE *data_file = std::fopen(data_path.c_str(), "rb");
    std::FILE *out_file = std::fopen(dir.file("out.wav").c_str(), "wb");
    EXPECT_TRUE(data_file && out_file);
    std::setvbuf(data_file, nullptr, _IONBF, 0);
    std::setvbuf(out_file, nullptr, _IONBF, 0);
    EXPECT_EQ(render_track(data_file, out_file, track_table[track - 1], settings), expected_result);
    std::fclose(out_file);
    std::fclose(data_file);
    return read_file(dir.file("out.wav"));
}

std::vector<unsigned char> expected(int track, int repeat, int fade = 0, int fade_pattern = 0)
{
    const track_entry &entry = track_table[track - 1];
    return expected_track_file(entry.start, entry.loop, entry.end, repeat, fade, fade_pattern);
}

struct plain_case {
    int track;
    int repeat;
    std::int64_t data_length;  // from the offsets, independently of the model
};

class PlainTrack : public testing::TestWithParam<plain_case> {};

TEST_P(PlainTrack, IsTheIntroOnceAndTheBodyOncePerPass)
{
    const plain_case &c = GetParam();
    const std::vector<unsigned char> file = render(c.track, with(c.repeat));
    ASSERT_EQ(static_cast<std::int64_t>(file.size()), 44 + c.data_length);
    EXPECT_TRUE(file == expected(c.track, c.repeat));
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, PlainTrack,
    testing::Values(plain_case{1, 2, 27083036},                 // both passes, short last chunks
                    plain_case{1, 1, 14198156},                 // intro and body once
                    plain_case{2, 3, 11376408},                 // loops whole: 3 x 3792136
                    plain_case{5, 1, 3792436},
                    plain_case{12, 10, 678372 + 10 * 7384180},  // intro + ten bodies
                    plain_case{13, 2, 5529220 + 3763148}),
    [](const testing::TestParamInfo<plain_case> &info) {
        return "track" + std::to_string(info.param.track) + "_repeat" +
               std::to_string(info.param.repeat);
    });

// The synthetic data in memory, served through glibc's custom streams so
// that every seek, read and write the writer makes is recorded. Unbuffered
// custom streams hand reads over a byte at a time: the bytes read after
// each seek are summed.
const std::vector<unsigned char> &data_in_memory()
{
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> bytes;
        append_pattern(bytes, 0, SYNTHETIC_DATA_BYTES);
        return bytes;
    }();
    return data;
}

struct io_log {
    std::int64_t position = 0;
    std::vector<std::int64_t> seeks;
    std::vector<std::size_t> reads;  // bytes read after each seek
    std::vector<std::size_t> writes;
    std::size_t write_budget = SIZE_MAX;  // bytes accepted before writes fail
};

ssize_t logged_read(void *cookie, char *buffer, size_t size)
{
    auto *log = static_cast<io_log *>(cookie);
    const std::vector<unsigned char> &data = data_in_memory();
    const auto available = static_cast<std::size_t>(
        std::max<std::int64_t>(0, static_cast<std::int64_t>(data.size()) - log->position));
    const std::size_t got = std::min(size, available);
    std::memcpy(buffer, data.data() + log->position, got);
    log->position += static_cast<std::int64_t>(got);
    if (!log->reads.empty())
        log->reads.back() += got;
    return static_cast<ssize_t>(got);
}

int logged_seek(void *cookie, off64_t *offset, int whence)
{
    auto *log = static_cast<io_log *>(cookie);
    if (whence == SEEK_SET) {
        log->seeks.push_back(*offset);
        log->reads.push_back(0);
        log->position = *offset;
    } else if (whence == SEEK_CUR) {
        log->position += *offset;
    } else {
        return -1;
    }
    *offset = log->position;
    return 0;
}

ssize_t logged_write(void *cookie, const char *, size_t size)
{
    auto *log = static_cast<io_log *>(cookie);
    log->writes.push_back(size);
    if (size > log->write_budget)
        return 0;
    log->write_budget -= size;
    return static_cast<ssize_t>(size);
}

struct logged_files {
    io_log log;
    std::FILE *data_file;
    std::FILE *out_file;

    logged_files()
    {
        data_file = fopencookie(&log, "rb", {logged_read, nullptr, logged_seek, nullptr});
        out_file = fopencookie(&log, "wb", {nullptr, logged_write, nullptr, nullptr});
        std::setvbuf(data_file, nullptr, _IONBF, 0);
        std::setvbuf(out_file, nullptr, _IONBF, 0);
    }
    ~logged_files()
    {
        std::fclose(data_file);
        std::fclose(out_file);
    }
};

// The chunks of the span [from, to): offsets and sizes, cut from `from`.
void expect_chunks(const io_log &log, std::size_t &at, std::int64_t from, std::int64_t full,
                   std::size_t last)
{
    for (std::int64_t i = 0; i <= full; i++, at++) {
        const std::size_t size = i < full ? 176400 : last;
        if (size == 0)
            break;
        ASSERT_LT(at, log.reads.size());
        EXPECT_EQ(log.seeks[at], from + i * 176400) << "chunk " << at;
        EXPECT_EQ(log.reads[at], size) << "chunk " << at;
        EXPECT_EQ(log.writes[at + 1], size) << "chunk " << at;  // after the header
    }
}

TEST(CopyPlan, EveryChunkIsSoughtAndCutFromItsSpansBeginning)
{
    logged_files files;
    ASSERT_EQ(render_track(files.data_file, files.out_file, track_table[0], with(2)), RENDER_OK);
    // Pass 0: [44, 14198200) as 80 full chunks and 86156 bytes; pass 1:
    // [1313320, 14198200) as 73 full chunks and 7680 bytes.
    ASSERT_EQ(files.log.reads.size(), 81u + 74u);
    ASSERT_EQ(files.log.seeks.size(), files.log.reads.size());
    ASSERT_EQ(files.log.writes.size(), 1 + files.log.reads.size());
    EXPECT_EQ(files.log.writes[0], 44u);  // the header, in one write
    std::size_t at = 0;
    expect_chunks(files.log, at, 44, 80, 86156);
    expect_chunks(files.log, at, 1313320, 73, 7680);
}

TEST(CopyPlan, ASpanOfWholeChunksMakesNoEmptyReadOrWrite)
{
    logged_files files;
    ASSERT_EQ(copy_span(files.data_file, files.out_file, 1000, 1000 + 3 * CHUNK_BYTES), RENDER_OK);
    EXPECT_EQ(files.log.reads, (std::vector<std::size_t>{176400, 176400, 176400}));
    EXPECT_EQ(files.log.writes, (std::vector<std::size_t>{176400, 176400, 176400}));
    EXPECT_EQ(files.log.seeks, (std::vector<std::int64_t>{1000, 177400, 353800}));
}

TEST(CopyPlan, AShortWriteIsReported)
{
    logged_files files;
    files.log.write_budget = 44 + 176400;  // the header and one chunk fit
    EXPECT_EQ(render_track(files.data_file, files.out_file, track_table[1], with(1)),
              RENDER_WRITE_FAILED);
    EXPECT_EQ(files.log.writes.size(), 3u);  // stops at the first failed write
}

TEST(CopyPlan, AShortReadIsReportedAndNothingUnreadIsWritten)
{
    // The data file ends 1000 bytes into track 2's third chunk.
    scratch_dir dir;
    const std::int64_t cut = track_table[1].start + 2 * 176400 + 1000;
    ASSERT_TRUE(write_pattern_file(dir.file("short.dat"), cut));
    const std::vector<unsigned char> file = render(2, with(1), RENDER_READ_FAILED,
                                                   dir.file("short.dat"));
    // The header and the two chunks that were read, nothing of the third.
    ASSERT_EQ(file.size(), 44u + 2 * 176400);
    std::vector<unsigned char> pcm;
    append_pattern(pcm, track_table[1].start, track_table[1].start + 2 * 176400);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), file.begin() + 44));
}

}  // namespace

namespace {

// Fades, checked against spans written out by hand from the offsets.
TEST(FadedTrack, InPlaceRaisedCosineOnTrackOne)
{
    // Three passes; the final one stops ten seconds before the loop end and
    // those ten seconds (441000 frames, ten full chunks) are faded.
    const std::vector<unsigned char> file = render(1, with(3, 10, 3));
    ASSERT_EQ(file.size(), 44u + 39967916);
    EXPECT_TRUE(file == expected_file({{44, 14198200}, {1313320, 14198200}, {1313320, 12434200},
                                       {12434200, 14198200}},
                                      1764000, 3));
}

TEST(FadedTrack, ExtensionOnTrackTwo)
{
    // Two whole passes, then five seconds from the loop point, faded.
    const std::vector<unsigned char> file = render(2, with(2, -5, 0));
    ASSERT_EQ(file.size(), 44u + 8466272);
    EXPECT_TRUE(file == expected_file({{15204440, 18996576}, {15204440, 18996576},
                                       {15204440, 16086440}},
                                      882000, 0));
}

TEST(FadedTrack, InPlaceFadeLongerThanTheFinalPassCrossesIntoThePassBefore)
{
    // Track 2's pass lasts 21.5 s: the last 25 s of the output take 3.5 s
    // from the end of the first pass.
    const std::vector<unsigned char> file = render(2, with(2, 25, 1));
    ASSERT_EQ(file.size(), 44u + 2 * 3792136);
    EXPECT_TRUE(file == expected_file({{15204440, 18996576}, {15204440, 18996576}},
                                      25 * 176400, 1));
}

TEST(FadedTrack, InPlaceFadeLongerThanTheWholeOutputFadesAllOfIt)
{
    for (int track = 2; track <= 11; track += 3) {
        SCOPED_TRACE(track);
        const track_entry &entry = track_table[track - 1];
        const std::vector<unsigned char> file = render(track, with(1, 30, 2));
        ASSERT_EQ(static_cast<std::int64_t>(file.size()), 44 + entry.end - entry.start);
        EXPECT_TRUE(file == expected_file({{entry.start, entry.end}}, entry.end - entry.start, 2));
    }
}

TEST(FadedTrack, LongExtensionWrapsAtTheLoopEnd)
{
    // Track 13's body is 21.33 s: 30 s from the loop point wrap once. The
    // shared data file ends at track 13's loop end, so a read past it fails.
    const std::vector<unsigned char> file = render(13, with(1, -30, 3));
    const std::int64_t body = 67671140 - 63907992;
    ASSERT_EQ(static_cast<std::int64_t>(file.size()), 44 + 5529220 + 30 * 176400);
    EXPECT_TRUE(file == expected_file({{62141920, 67671140}, {63907992, 67671140},
                                       {63907992, 63907992 + 30 * 176400 - body}},
                                      30 * 176400, 3));
}

struct fade_case {
    int track;
    int repeat;
    int fade;
    int fade_pattern;
};

class FadeShapes : public testing::TestWithParam<fade_case> {};

TEST_P(FadeShapes, MatchTheModel)
{
    const fade_case &c = GetParam();
    EXPECT_TRUE(render(c.track, with(c.repeat, c.fade, c.fade_pattern)) ==
                expected(c.track, c.repeat, c.fade, c.fade_pattern));
}

INSTANTIATE_TEST_SUITE_P(
    EveryShapeBothWays, FadeShapes,
    testing::Values(fade_case{3, 2, 7, 0}, fade_case{12, 1, -12, 0}, fade_case{13, 3, 15, 1},
                    fade_case{4, 1, -3, 1}, fade_case{1, 1, 30, 2}, fade_case{11, 2, -22, 2},
                    fade_case{12, 2, 1, 3}, fade_case{1, 2, -30, 3}, fade_case{10, 10, -30, 0},
                    fade_case{13, 1, 30, 0}),
    [](const testing::TestParamInfo<fade_case> &info) {
        const fade_case &c = info.param;
        return "track" + std::to_string(c.track) + "_repeat" + std::to_string(c.repeat) +
               (c.fade < 0 ? "_F" : "_f") + std::to_string(c.fade < 0 ? -c.fade : c.fade) +
               "_p" + std::to_string(c.fade_pattern);
    });

TEST(FadedTrack, FadeZeroIgnoresThePattern)
{
    EXPECT_TRUE(render(6, with(2, 0, 2)) == expected(6, 2));
}

TEST(FadedTrack, TheLongestFadesStayInsideEveryTrack)
{
    // Every frame of the synthetic data is distinct: a byte read from
    // outside the track would not match.
    for (int track = 1; track <= TRACK_COUNT; track++) {
        for (const int fade : {-30, 30}) {
            SCOPED_TRACE(testing::Message() << "track " << track << " fade " << fade);
            EXPECT_TRUE(render(track, with(1, fade, 1)) == expected(track, 1, fade, 1));
        }
    }
}

}  // namespace
