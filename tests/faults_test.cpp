// Faults while writing: nothing broken is left behind and nothing that was
// there is lost.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "render/track_table.h"
#include "scratch.h"
#include "synthetic.h"

namespace fs = std::filesystem;

namespace {

std::string line(const std::string &before, int track, const std::string &after)
{
    return before + UTF8_NAMES[track - 1] + after;
}

TEST(Faults, ADataFileCutInsideTrackEightServesOnlyTheTracksBefore)
{
    scratch_dir dir;
    const track_entry &eighth = track_table[7];
    ASSERT_TRUE(write_pattern_file(dir.file(DATA_NAME), (eighth.start + eighth.end) / 2 + 2));
    const tool_result result = run_tool({"1"}, dir.path());

    std::string expected = "track=1-13 , repeat=1 , fade=0 , fade pattern=0\n";
    for (int track = 1; track <= 13; track++) {
        expected += line("Create ", track, " ...\n");
        if (track >= 8)
            expected += line("qv902b_bgm_tmp.dat is too short for ", track, "\n");
    }
    EXPECT_EQ(result.output, expected);
    EXPECT_EQ(result.status, 1);
    std::vector<std::string> names{DATA_NAME};
    for (int track = 1; track <= 7; track++) {
        EXPECT_TRUE(track_file_is(dir, track, 1)) << track;
        names.push_back(UTF8_NAMES[track - 1]);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.names(), names);
}

TEST(Faults, AFolderUnderATracksNameIsLeftAlone)
{
    scratch_dir dir;
    link_data_file(dir);
    fs::create_directory(dir.file(UTF8_NAMES[0]));
    std::ofstream(dir.file(UTF8_NAMES[0]) + "/keep") << "kept";
    const tool_result result = run_tool({"1", "f3"}, dir.path());

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.find(line("Create ", 1, " ...\n") +
                                 line("cannot create ", 1, ": Is a directory\n") +
                                 line("Create ", 2, " ...\n")),
              result.output.find("Create "));
    EXPECT_TRUE(fs::is_directory(dir.file(UTF8_NAMES[0])));
    EXPECT_EQ(read_file(dir.file(UTF8_NAMES[0]) + "/keep").size(), 4u);
    for (int track = 2; track <= 13; track++)
        EXPECT_TRUE(track_file_is(dir, track, 1, 3)) << track;
    EXPECT_TRUE(no_part_files(dir));
}

TEST(Faults, AFullDiskKeepsTheEarlierFile)
{
    for (const temp_mode &mode : TEMP_MODES) {
        if (mode.hide_proc && !named_mode_available())
            continue;
        SCOPED_TRACE(mode.label);
        scratch_dir dir;
        link_data_file(dir);
        run_options options;
        options.hide_proc = mode.hide_proc;
        running_program first = start_tool({"T1", "1"}, dir.path(), options);
        ASSERT_EQ(finish_program(first).status, 0);
        ASSERT_TRUE(track_file_is(dir, 1, 1));

        // Any file the tool writes may hold at most 10 MB: track 1 needs 14.
        options.file_size_limit = 10000000;
        running_program run = start_tool({"T1", "3", "F4"}, dir.path(), options);
        const tool_result result = finish_program(run);
        EXPECT_EQ(result.output, "track=1-1 , repeat=3 , fade=-4 , fade pattern=0\n" +
                                     line("Create ", 1, " ...\n") +
                                     line("cannot write ", 1, ": File too large\n"));
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(track_file_is(dir, 1, 1));
        EXPECT_TRUE(no_part_files(dir));
    }
}

TEST(Faults, LinksUnderTheOutputNamesAreReplacedNotWrittenThrough)
{
    scratch_dir dir;
    link_data_file(dir);
    std::ofstream(dir.file("victim")) << "victim";
    std::ofstream(dir.file("other")) << "other";
    fs::create_symlink(dir.file("victim"), dir.file(UTF8_NAMES[1]));
    fs::create_symlink(dir.file("other"), dir.file(std::string(UTF8_NAMES[1]) + ".part"));
    const tool_result result = run_tool({"T2", "1"}, dir.path());

    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(fs::is_symlink(dir.file(UTF8_NAMES[1])));
    EXPECT_TRUE(track_file_is(dir, 2, 1));
    EXPECT_EQ(read_file(dir.file("victim")).size(), 6u);
    EXPECT_EQ(read_file(dir.file("other")).size(), 5u);
    EXPECT_TRUE(no_part_files(dir));
}

TEST(Faults, AStalePartFileIsReplaced)
{
    scratch_dir dir;
    link_data_file(dir);
    std::ofstream(dir.file(std::string(UTF8_NAMES[3]) + ".part")) << std::string(9000000, 'x');
    EXPECT_EQ(run_tool({"T4", "1"}, dir.path()).status, 0);
    EXPECT_TRUE(track_file_is(dir, 4, 1));
    EXPECT_TRUE(no_part_files(dir));
}

struct file_identity {
    bool present = false;
    std::uint64_t size = 0, inode = 0;
    std::int64_t modified_ns = 0;
    bool operator==(const file_identity &other) const
    {
        return present == other.present && size == other.size && inode == other.inode &&
               modified_ns == other.modified_ns;
    }
};

file_identity identify(const std::string &path)
{
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        return {};
    return {true, static_cast<std::uint64_t>(status.st_size), status.st_ino,
            status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec};
}

// Writes a data file of `size` bytes that holds the pattern only in the
// tracks [first, last] and zeros elsewhere, so that a read outside them
// shows in the output.
void write_sparse_data(const std::string &path, std::int64_t size, int first, int last)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    std::vector<unsigned char> block;
    for (int track = first; track <= last; track++) {
        const track_entry &entry = track_table[track - 1];
        for (std::int64_t from = entry.start; from < std::min<std::int64_t>(entry.end, size);
             from += 1 << 22) {
            const std::int64_t to = std::min<std::int64_t>({entry.end, size, from + (1 << 22)});
            block.clear();
            append_pattern(block, from, to - to % 4);
            ASSERT_EQ(pwrite(fd, block.data(), block.size(), from),
                      static_cast<ssize_t>(block.size()));
        }
    }
    close(fd);
}

struct written_track {
    int repeat = 0, fade = 0, pattern = 0;
    file_identity identity;
};

TEST(Faults, SoakOfRandomSettingsAgainstCutDataFiles)
{
    scratch_dir dir;
    lcg random{20261209};
    written_track written[TRACK_COUNT];
    for (int run = 0; run < 240; run++) {
        const bool all = random.next(24) == 0;
        const int track = all ? 0 : 1 + static_cast<int>(random.next(TRACK_COUNT));
        const int repeat = all ? 1 : 1 + static_cast<int>(random.next(3));
        const int fade = static_cast<int>(random.next(61)) - 30;
        const int pattern = static_cast<int>(random.next(4));
        const std::int64_t cut = 4 * static_cast<std::int64_t>(random.next(67671140 / 4 + 400));
        SCOPED_TRACE(testing::Message() << "run " << run << ": T" << track << " " << repeat
                                        << " f" << fade << " p" << pattern << " cut " << cut);
        write_sparse_data(dir.file(DATA_NAME), cut, all ? 1 : track, all ? 13 : track);

        std::vector<std::string> args{std::to_string(repeat), "f" + std::to_string(fade),
                                      "p" + std::to_string(pattern)};
        if (!all)
            args.push_back("T" + std::to_string(track));
        const tool_result result = run_tool(args, dir.path());

        bool every_track_written = true;
        for (int t = 1; t <= TRACK_COUNT; t++) {
            written_track &w = written[t - 1];
            const file_identity now = identify(dir.file(UTF8_NAMES[t - 1]));
            const bool selected = all || t == track;
            if (selected && cut >= track_table[t - 1].end) {
                ASSERT_TRUE(track_file_is(dir, t, repeat, fade, pattern)) << "track " << t;
                w = {repeat, fade, pattern, now};
                continue;
            }
            every_track_written = every_track_written && !selected;
            // Not selected, or not served: whatever was there is untouched.
            ASSERT_TRUE(now == w.identity) << "track " << t;
        }
        ASSERT_EQ(result.status, every_track_written ? 0 : 1);
        ASSERT_TRUE(no_part_files(dir));
    }
    // The files that stood at the end are still exactly what wrote them.
    for (int t = 1; t <= TRACK_COUNT; t++) {
        const written_track &w = written[t - 1];
        if (w.identity.present) {
            EXPECT_TRUE(track_file_is(dir, t, w.repeat, w.fade, w.pattern)) << t;
        }
    }
}

}  // namespace
