// The tool as scripts and people really run it: twice at once in one
// folder, interrupted, with an output nobody reads, and on a disk that
// refuses it. Nothing under a final name is ever partial, nothing temporary
// stays behind, and every failure says why.
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "render/track_table.h"
#include "scratch.h"
#include "synthetic.h"

namespace {

std::vector<unsigned char> expected_track(int track, int repeat, int fade, int pattern)
{
    const track_entry &entry = track_table[track - 1];
    return expected_track_file(entry.start, entry.loop, entry.end, repeat, fade, pattern);
}

void sleep_us(std::uint32_t microseconds)
{
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

struct track_two_run {
    std::vector<std::string> args;
    int repeat, fade, pattern;
};

TEST(Safety, TwoRunsOnOneTrackNeverShowAPartialFile)
{
    scratch_dir dir;
    link_data_file(dir);
    const std::string final_name = dir.file(UTF8_NAMES[1]);
    const track_two_run settings[] = {{{"T2", "1", "f5"}, 1, 5, 0},
                                      {{"T2", "3", "F7", "p1"}, 3, -7, 1},
                                      {{"T2", "2", "f30", "p3"}, 2, 30, 3},
                                      {{"T2", "1"}, 1, 0, 0}};
    std::vector<unsigned char> expected[4];
    for (int i = 0; i < 4; i++)
        expected[i] = expected_track(2, settings[i].repeat, settings[i].fade, settings[i].pattern);
    // Every fourth round without /proc: the named temporary files.
    const bool named_rounds = named_mode_available();
    lcg random{7};
    for (int round = 0; round < 40; round++) {
        const bool named = named_rounds && round % 4 == 3;
        const int picked[2] = {static_cast<int>(random.next(4)), static_cast<int>(random.next(3))};
        const int which[2] = {picked[0], picked[1] >= picked[0] ? picked[1] + 1 : picked[1]};
        SCOPED_TRACE(testing::Message() << "round " << round << (named ? ", named" : "")
                                        << ", settings " << which[0] << " and " << which[1]);
        running_program runs[2];
        for (int i = 0; i < 2; i++) {
            if (i == 1)
                sleep_us(random.next(20000));
            run_options options;
            options.hide_proc = named;
            runs[i] = start_tool(settings[which[i]].args, dir.path(), options);
        }
        // Now and then one of them is killed at a random moment (not when
        // its file has a name: SIGKILL leaves that behind).
        const int victim = !named && random.next(4) == 0 ? static_cast<int>(random.next(2)) : -1;
        const auto kill_at = std::chrono::steady_clock::now() +
                             std::chrono::microseconds(random.next(60000));
        bool killed = false;
        // Until a run of this round puts its file in place, the last round's
        // may still be there.
        const auto complete = [&](const std::vector<unsigned char> &file) {
            for (const std::vector<unsigned char> &one : expected)
                if (file == one)
                    return true;
            return false;
        };
        while (!has_ended(runs[0].pid) || !has_ended(runs[1].pid)) {
            if (victim >= 0 && !killed && std::chrono::steady_clock::now() >= kill_at)
                killed = !has_ended(runs[victim].pid) && kill(runs[victim].pid, SIGKILL) == 0;
            const std::vector<unsigned char> now = read_file(final_name);
            if (now.empty())
                continue;  // not there yet
            ASSERT_TRUE(complete(now)) << "size " << now.size();
        }
        for (int i = 0; i < 2; i++) {
            // A kill may still come just after the run's last step.
            const int status = finish_program(runs[i]).status;
            ASSERT_TRUE(status == 0 || (killed && i == victim && status == 128 + SIGKILL))
                << "run " << i << ": status " << status;
        }
        // The run that was not killed ended well, so it put its own complete
        // file in place: the last file is one of this round's two.
        const std::vector<unsigned char> last = read_file(final_name);
        ASSERT_TRUE(last == expected[which[0]] || last == expected[which[1]]);
        ASSERT_TRUE(no_part_files(dir));
    }
}

TEST(Safety, InterruptedRunsLeaveNothingAndKeepTheEarlierFile)
{
    scratch_dir dir;
    link_data_file(dir);
    ASSERT_EQ(run_tool({"T1", "1"}, dir.path()).status, 0);
    const std::vector<std::string> before = dir.names();
    lcg random{11};
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int round = 0; round < 12; round++) {
        const int signal_number = signals[round % 3];
        SCOPED_TRACE(testing::Message() << "round " << round << ", signal " << signal_number);
        running_program run = start_tool({"T1", "10", "F30"}, dir.path());
        sleep_us(random.next(100000));
        kill(run.pid, signal_number);
        const tool_result result = finish_program(run);
        ASSERT_EQ(dir.names(), before);
        ASSERT_TRUE(result.status == 0 || result.status == 128 + signal_number) << result.status;
        // The earlier file, or the new one if the signal came after it was
        // put in place; never anything between.
        if (!track_file_is(dir, 1, 1)) {
            ASSERT_TRUE(track_file_is(dir, 1, 10, -30));
            ASSERT_EQ(run_tool({"T1", "1"}, dir.path()).status, 0);
        }
    }
}

TEST(Safety, NamedTemporaryFilesWorkAndGoOnASignal)
{
    if (!named_mode_available())
        GTEST_SKIP() << "no mount namespace here, or /proc is needed";
    scratch_dir dir;
    link_data_file(dir);
    run_options named;
    named.hide_proc = true;
    running_program plain = start_tool({"T1", "1"}, dir.path(), named);
    ASSERT_EQ(finish_program(plain).status, 0);
    ASSERT_TRUE(track_file_is(dir, 1, 1));
    const std::vector<std::string> before = dir.names();

    // Caught while its file is being written, the run is certainly not
    // done: the signal must end it and take the file with it.
    running_program run = start_tool({"T1", "10", "F30"}, dir.path(), named);
    const bool caught = stop_while_named(dir, run.pid);
    kill(run.pid, SIGTERM);
    kill(run.pid, SIGCONT);
    const int status = finish_program(run).status;
    ASSERT_TRUE(caught) << "the run ended before its named temporary file was seen";
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_EQ(dir.names(), before);
    EXPECT_TRUE(track_file_is(dir, 1, 1));
}

TEST(Safety, WhatStandsAtTheFirstTemporaryNamesIsNeitherWrittenThroughNorRemoved)
{
    for (const temp_mode &mode : TEMP_MODES) {
        if (mode.hide_proc && !named_mode_available())
            continue;
        SCOPED_TRACE(mode.label);
        scratch_dir dir;
        link_data_file(dir);
        std::ofstream(dir.file("victim")) << "victim";
        const std::string name = UTF8_NAMES[1];
        run_options options;
        options.hide_proc = mode.hide_proc;
        // The names this run tries first, made before it starts: a link to
        // another file, then a plain file.
        options.in_child = [&name] {
            const std::string stem = name + "." + std::to_string(getpid());
            if (symlink("victim", (stem + ".0.part").c_str()) != 0)
                _exit(125);
            const int fd = open((stem + ".1.part").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0 || write(fd, "planted", 7) != 7)
                _exit(125);
            close(fd);
        };
        running_program run = start_tool({"T2", "1"}, dir.path(), options);
        const std::string stem = name + "." + std::to_string(run.pid);
        EXPECT_EQ(finish_program(run).status, 0);
        EXPECT_TRUE(track_file_is(dir, 2, 1));
        EXPECT_EQ(read_file(dir.file("victim")).size(), 6u);
        std::error_code error;
        EXPECT_EQ(std::filesystem::read_symlink(dir.file(stem + ".0.part"), error), "victim");
        const std::vector<unsigned char> planted = read_file(dir.file(stem + ".1.part"));
        EXPECT_EQ(std::string(planted.begin(), planted.end()), "planted");
        EXPECT_EQ(part_files(dir), (std::vector<std::string>{stem + ".0.part", stem + ".1.part"}));
    }
}

struct broken_output_case {
    const char *label;
    output_kind output;
    bool ignore_sigpipe;
    int status;
};

TEST(Safety, MessagesThatCannotBeWrittenFailTheRunButNotTheFiles)
{
    const broken_output_case cases[] = {
        {"closed", output_kind::CLOSED, false, 1},
        {"/dev/full", output_kind::DEV_FULL, false, 1},
        {"closed pipe, SIGPIPE ignored", output_kind::BROKEN_PIPE, true, 1},
    };
    for (const broken_output_case &c : cases) {
        SCOPED_TRACE(c.label);
        scratch_dir dir;
        link_data_file(dir);
        run_options options;
        options.output = c.output;
        options.ignore_sigpipe = c.ignore_sigpipe;
        running_program run = start_tool({"1"}, dir.path(), options);
        EXPECT_EQ(finish_program(run).status, c.status);
        EXPECT_EQ(dir.names().size(), 14u);
        for (int track = 1; track <= TRACK_COUNT; track++)
            EXPECT_TRUE(track_file_is(dir, track, 1)) << track;
    }
    // With SIGPIPE at its default the first message ends the run, before
    // any file.
    scratch_dir dir;
    link_data_file(dir);
    run_options options;
    options.output = output_kind::BROKEN_PIPE;
    running_program run = start_tool({"1"}, dir.path(), options);
    EXPECT_EQ(finish_program(run).status, 128 + SIGPIPE);
    EXPECT_EQ(dir.names(), std::vector<std::string>{DATA_NAME});
}

// Runs a shell script in dir with the tool's path as $0; the script ends
// by starting the tool on T2 with the given settings.
tool_result run_script(const scratch_dir &dir, const std::string &script)
{
    return run_program("/bin/sh", {"-c", script, tool_path()}, dir.path());
}

// A script that runs the tool on T2 on a full 2 MB file system of its own
// and then lists what is left there (the file system goes with the script).
std::string full_disk_script(const std::string &data, bool hide_proc)
{
    return std::string("exec unshare -m sh -c 'mount -t tmpfs -o size=2m tmpfs . && cd \"$PWD\" && ") +
           "ln -s " + data + " " + DATA_NAME + " && " +
           (hide_proc ? "mount -t tmpfs none /proc && " : "") +
           "\"$0\" T2 1; status=$?; ls -A; exit $status' \"$0\"";
}

struct reason_case {
    const char *label;
    std::string script;
    std::string message;
};

TEST(Safety, FailuresSayWhy)
{
    if (!can_mount())
        GTEST_SKIP() << "no mount namespace here";
    const std::string name = UTF8_NAMES[1];
    const std::string data = shared_data_file();
    const std::string drop = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups "
                                            : "";
    const reason_case cases[] = {
        {"a folder the user cannot write", "chmod 555 . && exec " + drop + "\"$0\" T2 1",
         "cannot create " + name + ": Permission denied\n"},
        {"a read-only file system",
         "exec unshare -m sh -c 'mount --bind . . && mount -o remount,bind,ro . && cd \"$PWD\" && "
         "exec \"$0\" T2 1' \"$0\"",
         "cannot create " + name + ": Read-only file system\n"},
        {"a full disk", full_disk_script(data, false),
         "cannot write " + name + ": No space left on device\n" + DATA_NAME + "\n"},
        {"a full disk, named temporary files", full_disk_script(data, true),
         "cannot write " + name + ": No space left on device\n" + DATA_NAME + "\n"},
    };
    // The user who runs the tool reads the data file through its folder.
    chmod(data.substr(0, data.rfind('/')).c_str(), 0755);
    for (const reason_case &c : cases) {
        SCOPED_TRACE(c.label);
        scratch_dir dir;
        chmod(dir.path().c_str(), 0755);
        link_data_file(dir);
        const tool_result result = run_script(dir, c.script);
        EXPECT_EQ(result.output,
                  "track=2-2 , repeat=1 , fade=0 , fade pattern=0\nCreate " + name + " ...\n" +
                      c.message);
        EXPECT_EQ(result.status, 1);
        chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(dir.names(), std::vector<std::string>{DATA_NAME});
    }
}

}  // namespace
