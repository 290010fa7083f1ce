// The built executable, run in a scratch folder as a user would.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/track_table.h"
#include "scratch.h"
#include "synthetic.h"

namespace {

std::string create_line(int track)
{
    return std::string("Create ") + UTF8_NAMES[track - 1] + " ...\n";
}

std::vector<std::string> data_and_tracks(int first, int last)
{
    std::vector<std::string> names{DATA_NAME};
    for (int track = first; track <= last; track++)
        names.push_back(UTF8_NAMES[track - 1]);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Extraction, DefaultRunWritesEveryTrackExactly)
{
    scratch_dir dir;
    link_data_file(dir);
    const tool_result result = run_tool({}, dir.path());
    std::string expected = "track=1-13 , repeat=2 , fade=0 , fade pattern=0\n";
    for (int track = 1; track <= TRACK_COUNT; track++)
        expected += create_line(track);
    EXPECT_EQ(result.output, expected);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(dir.names(), data_and_tracks(1, 13));
    for (int track = 1; track <= TRACK_COUNT; track++)
        EXPECT_TRUE(track_file_is(dir, track, 2)) << "track " << track;
}

TEST(Extraction, MissingDataFileWritesNothing)
{
    scratch_dir dir;
    const tool_result result = run_tool({}, dir.path());
    EXPECT_EQ(result.output,
              "track=1-13 , repeat=2 , fade=0 , fade pattern=0\nqv902b_bgm_tmp.dat not found.");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(dir.names().empty());
}

TEST(Extraction, ADataFileThatIsAFolderIsNotFound)
{
    scratch_dir dir;
    std::filesystem::create_directory(dir.file(DATA_NAME));
    const tool_result result = run_tool({"T2"}, dir.path());
    EXPECT_EQ(result.output,
              "track=2-2 , repeat=2 , fade=0 , fade pattern=0\nqv902b_bgm_tmp.dat not found.");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(dir.names(), std::vector<std::string>{DATA_NAME});
}

TEST(Extraction, OneTrackWithItsSettings)
{
    scratch_dir dir;
    link_data_file(dir);
    const tool_result result = run_tool({"T13", "4", "F12", "p2"}, dir.path());
    EXPECT_EQ(result.output,
              "track=13-13 , repeat=4 , fade=-12 , fade pattern=2\n" + create_line(13));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(dir.names(), data_and_tracks(13, 13));
    EXPECT_TRUE(track_file_is(dir, 13, 4, -12, 2));
}

TEST(Extraction, NamesDoNotDependOnTheLocale)
{
    scratch_dir dir;
    link_data_file(dir);
    const tool_result result = run_tool({"t6", "1"}, dir.path(), 0, {"LC_ALL=C", "LANG=C"});
    EXPECT_EQ(result.output, "track=6-6 , repeat=1 , fade=0 , fade pattern=0\n" + create_line(6));
    EXPECT_EQ(dir.names(), data_and_tracks(6, 6));
    EXPECT_TRUE(track_file_is(dir, 6, 1));
}

TEST(Extraction, AnOlderLongerFileIsReplaced)
{
    scratch_dir dir;
    link_data_file(dir);
    {
        std::ofstream old(dir.file(UTF8_NAMES[2]), std::ios::binary);
        old << std::string(20000000, 'x');
    }
    const tool_result result = run_tool({"T3", "1"}, dir.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(track_file_is(dir, 3, 1));
}

TEST(Extraction, EveryTrackWithTheLongestExtensionOnADataFileEndingAtTheLastLoopEnd)
{
    scratch_dir dir;
    link_data_file(dir);
    ASSERT_EQ(std::filesystem::file_size(shared_data_file()), 67671140u);
    const tool_result result = run_tool({"1", "F30", "P3"}, dir.path());
    EXPECT_EQ(result.status, 0);
    for (int track = 1; track <= TRACK_COUNT; track++)
        EXPECT_TRUE(track_file_is(dir, track, 1, -30, 3)) << "track " << track;
}

}  // namespace
