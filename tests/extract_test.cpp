// The built executable, run in a scratch folder as a user would.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

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

struct data_file_case {
    const char *label;
    const char *make;  // shell commands that put it in place
    std::string message;
};

TEST(Extraction, ADataFileThatIsThereButCannotBeReadIsNotCalledMissing)
{
    const std::string cannot_open = "cannot open qv902b_bgm_tmp.dat: ";
    // Root reads any file: the unreadable one is tried as nobody.
    const std::string as_user = geteuid() == 0 ? "chmod 755 . && exec setpriv --reuid=65534 "
                                                 "--regid=65534 --clear-groups \"$0\" T2"
                                               : "exec \"$0\" T2";
    const data_file_case cases[] = {
        {"a link to nothing", "ln -s nowhere qv902b_bgm_tmp.dat", "qv902b_bgm_tmp.dat not found."},
        {"a folder", "mkdir qv902b_bgm_tmp.dat", cannot_open + "Is a directory\n"},
        {"a FIFO with no writer", "mkfifo qv902b_bgm_tmp.dat", cannot_open + "not a regular file\n"},
        {"a device", "ln -s /dev/zero qv902b_bgm_tmp.dat", cannot_open + "not a regular file\n"},
        {"unreadable", "echo data >qv902b_bgm_tmp.dat && chmod 000 qv902b_bgm_tmp.dat",
         cannot_open + "Permission denied\n"},
    };
    for (const data_file_case &c : cases) {
        SCOPED_TRACE(c.label);
        scratch_dir dir;
        const tool_result result =
            run_program("/bin/sh", {"-c", std::string(c.make) + " && " + as_user, tool_path()},
                        dir.path());
        EXPECT_EQ(result.output, "track=2-2 , repeat=2 , fade=0 , fade pattern=0\n" + c.message);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(dir.names(), std::vector<std::string>{DATA_NAME});
    }
}

struct request_case {
    std::vector<std::string> args;
    std::string begins;  // what the output begins with
    int status;
};

TEST(Extraction, HelpAndVersionAreExactWordsAndOpenNothing)
{
    const std::string usage = "usage: bgm-extract [n] [Tn] [fn | Fn] [pn]\n";
    const std::string version = std::string("bgm-extract ") + BGM_VERSION + "\n";
    const std::string rejected = "repeat must be 1-10\n";
    const request_case cases[] = {
        {{"--help"}, usage, 0},
        {{"-h"}, usage, 0},
        {{"-?"}, usage, 0},
        {{"T3", "11", "--help"}, usage, 0},
        {{"--version", "-h"}, usage, 0},
        {{"--version"}, version, 0},
        {{"T99", "--version"}, version, 0},
        {{"--5"}, rejected, 2},
        {{"-5"}, rejected, 2},
        {{"-x"}, rejected, 2},
        {{"--helpx"}, rejected, 2},
        {{"--HELP"}, rejected, 2},
        {{"-help"}, rejected, 2},
        {{"--version2"}, rejected, 2},
        {{"/?"}, rejected, 2},
        {{"--help "}, rejected, 2},
    };
    // No data file here: a run that opened it would say so.
    scratch_dir dir;
    for (const request_case &c : cases) {
        SCOPED_TRACE(c.args[0]);
        const tool_result result = run_tool(c.args, dir.path());
        EXPECT_EQ(result.output.substr(0, c.begins.size()), c.begins);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(dir.names().empty());
        if (c.begins == usage) {
            EXPECT_NE(result.output.find("qv902b_bgm_tmp.dat"), std::string::npos);
            EXPECT_EQ(result.output.substr(result.output.size() - 22), "More: man bgm-extract\n");
        } else {
            EXPECT_EQ(result.output, c.begins);
        }
    }
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
