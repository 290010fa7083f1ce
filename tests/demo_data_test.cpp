// bgm-demo-data: a stand-in data file of the real layout, never written
// over a file that is there.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/track_table.h"
#include "scratch.h"
#include "synthetic.h"

namespace {

std::uint32_t u32_at(const std::vector<unsigned char> &bytes, std::int64_t at)
{
    const auto i = static_cast<std::size_t>(at);
    return bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[i + 3]) << 24);
}

int sample_at(const std::vector<unsigned char> &bytes, std::int64_t at)
{
    const auto i = static_cast<std::size_t>(at);
    return static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
}

TEST(DemoData, HasTheLayoutAndLoopsWithoutAClick)
{
    scratch_dir dir;
    const tool_result result = run_program(BGM_DEMO_PATH, {}, dir.path());
    EXPECT_EQ(result.status, 0);
    const std::vector<unsigned char> data = read_file(dir.file("qv902b_bgm_tmp.dat"));
    ASSERT_EQ(data.size(), 67671140u);
    for (int i = 0; i < TRACK_COUNT; i++) {
        SCOPED_TRACE(i + 1);
        const track_entry &entry = track_table[i];
        const std::int64_t header = entry.start - 44;
        EXPECT_EQ(std::string(data.begin() + header, data.begin() + header + 4), "RIFF");
        EXPECT_EQ(u32_at(data, header + 24), 44100u);
        const std::int64_t next = i + 1 < TRACK_COUNT ? track_table[i + 1].start - 44 : 67671140;
        EXPECT_EQ(u32_at(data, header + 40), static_cast<std::uint32_t>(next - entry.start));
        // Music, not silence, and quiet where the loop end meets the loop
        // point and where the intro begins.
        int loudest = 0;
        for (std::int64_t at = entry.loop; at < entry.end; at += 2)
            loudest = std::max(loudest, std::abs(sample_at(data, at)));
        EXPECT_GT(loudest, 4000);
        for (int channel = 0; channel < 4; channel += 2) {
            EXPECT_LT(std::abs(sample_at(data, entry.end - 4 + channel)), 100);
            EXPECT_LT(std::abs(sample_at(data, entry.loop + channel)), 100);
            EXPECT_LT(std::abs(sample_at(data, entry.start + channel)), 100);
        }
    }
}

TEST(DemoData, NeverOverwritesADataFile)
{
    scratch_dir dir;
    std::ofstream(dir.file("qv902b_bgm_tmp.dat")) << "the real thing";
    const tool_result result = run_program(BGM_DEMO_PATH, {}, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "qv902b_bgm_tmp.dat already exists; not overwriting it\n");
    EXPECT_EQ(read_file(dir.file("qv902b_bgm_tmp.dat")).size(), 14u);
}

TEST(DemoData, RunsAgainOverItsOwnFileButNoOtherOfTheSameSize)
{
    scratch_dir dir;
    ASSERT_EQ(run_program(BGM_DEMO_PATH, {}, dir.path()).status, 0);
    const std::string data = dir.file("qv902b_bgm_tmp.dat");
    const std::vector<unsigned char> first = read_file(data);
    const tool_result again = run_program(BGM_DEMO_PATH, {}, dir.path());
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.output, "qv902b_bgm_tmp.dat is the demo data already; leaving it as it is\n");
    EXPECT_TRUE(read_file(data) == first);

    // One sample changed near the end, as in a real file of the same size.
    std::vector<unsigned char> other = first;
    other[other.size() - 3] ^= 1;
    std::ofstream(data, std::ios::binary)
        .write(reinterpret_cast<const char *>(other.data()),
               static_cast<std::streamsize>(other.size()));
    const tool_result refused = run_program(BGM_DEMO_PATH, {}, dir.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "qv902b_bgm_tmp.dat already exists; not overwriting it\n");
    EXPECT_TRUE(read_file(data) == other);
}

TEST(DemoData, AnswersHelpAndVersionAndRefusesOtherArgumentsWritingNothing)
{
    const std::string usage = "usage: bgm-demo-data [--help | --version]\n";
    const struct {
        std::vector<std::string> args;
        std::string begins;
        int status;
    } cases[] = {
        {{"--help"}, usage + "Writes a stand-in", 0},
        {{"-h"}, usage + "Writes a stand-in", 0},
        {{"-?"}, usage + "Writes a stand-in", 0},
        {{"--version"}, std::string("bgm-demo-data ") + BGM_VERSION + "\n", 0},
        {{"x"}, usage, 2},
        {{"--helpx"}, usage, 2},
        {{"--version", "2"}, std::string("bgm-demo-data ") + BGM_VERSION + "\n", 0},
    };
    scratch_dir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[0]);
        const tool_result result = run_program(BGM_DEMO_PATH, c.args, dir.path());
        EXPECT_EQ(result.output.substr(0, c.begins.size()), c.begins);
        if (c.status != 0 || c.args[0] == "--version") {
            EXPECT_EQ(result.output, c.begins);
        }
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(dir.names().empty());
    }
}

}  // namespace
