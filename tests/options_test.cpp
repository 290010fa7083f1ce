#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/options.h"
#include "scratch.h"

namespace {

struct command_line_case {
    std::vector<std::string> args;
    // What the tool prints before it would open the data file: the summary
    // line, or the one message of the first failed check.
    std::string printed;
    int repeat, fade, fade_pattern, first_track, last_track;
};

const std::string REPEAT_MESSAGE = "repeat must be 1-10\n";
const std::string FADE_MESSAGE = "fade must be 0-30\n";
const std::string PATTERN_MESSAGE = "fade pattern must be 0-3\n";
const std::string TRACK_MESSAGE = "track number must be 1-13\n";

std::string summary(int first, int last, int repeat, int fade, int pattern)
{
    return "track=" + std::to_string(first) + "-" + std::to_string(last) +
           " , repeat=" + std::to_string(repeat) + " , fade=" + std::to_string(fade) +
           " , fade pattern=" + std::to_string(pattern) + "\n";
}

const command_line_case CASES[] = {
    {{}, summary(1, 13, 2, 0, 0), 2, 0, 0, 0, 13},
    {{"t5", "3", "f10", "p3"}, summary(5, 5, 3, 10, 3), 3, 10, 3, 5, 5},
    {{"F7"}, summary(1, 13, 2, -7, 0), 2, -7, 0, 0, 13},
    {{"f-5"}, summary(1, 13, 2, -5, 0), 2, -5, 0, 0, 13},
    {{"F-5"}, summary(1, 13, 2, 5, 0), 2, 5, 0, 0, 13},
    {{"T3", "T7"}, summary(7, 7, 2, 0, 0), 2, 0, 0, 7, 7},
    {{"P2", "1"}, summary(1, 13, 1, 0, 2), 1, 0, 2, 0, 13},
    {{"f30", "F30", "10"}, summary(1, 13, 10, -30, 0), 10, -30, 0, 0, 13},
    {{"T13", "f-30"}, summary(13, 13, 2, -30, 0), 2, -30, 0, 13, 13},
    {{" \t+4"}, summary(1, 13, 4, 0, 0), 4, 0, 0, 0, 13},            // white space, plus
    {{"f\n+12x"}, summary(1, 13, 2, 12, 0), 2, 12, 0, 0, 13},        // stops at the x
    {{"3.9"}, summary(1, 13, 3, 0, 0), 3, 0, 0, 0, 13},
    {{"11"}, REPEAT_MESSAGE, 11, 0, 0, 0, 13},
    {{"0", "p9"}, REPEAT_MESSAGE, 0, 0, 9, 0, 13},                   // repeat checked first
    {{"R3"}, REPEAT_MESSAGE, 0, 0, 0, 0, 13},
    {{"x"}, REPEAT_MESSAGE, 0, 0, 0, 0, 13},
    {{""}, REPEAT_MESSAGE, 0, 0, 0, 0, 13},                          // an empty argument
    {{"\xe9" "5"}, REPEAT_MESSAGE, 0, 0, 0, 0, 13},                  // first byte >= 128
    {{"+-5"}, REPEAT_MESSAGE, 0, 0, 0, 0, 13},
    {{"f31"}, FADE_MESSAGE, 2, 31, 0, 0, 13},
    {{"F31"}, FADE_MESSAGE, 2, -31, 0, 0, 13},
    {{"p4"}, PATTERN_MESSAGE, 2, 0, 4, 0, 13},
    {{"P-1"}, PATTERN_MESSAGE, 2, 0, -1, 0, 13},
    {{"T0"}, TRACK_MESSAGE, 2, 0, 0, 0, 0},
    {{"T14"}, TRACK_MESSAGE, 2, 0, 0, 14, 14},
    {{"T-1"}, TRACK_MESSAGE, 2, 0, 0, -1, -1},
    {{"T"}, TRACK_MESSAGE, 2, 0, 0, 0, 0},
    // Saturation at the 32-bit limits, on every host.
    {{"99999999999999999999"}, REPEAT_MESSAGE, INT32_MAX, 0, 0, 0, 13},
    {{"-99999999999999999999"}, REPEAT_MESSAGE, INT32_MIN, 0, 0, 0, 13},
    {{"4294967298"}, REPEAT_MESSAGE, INT32_MAX, 0, 0, 0, 13},        // not 2 after wrapping
    {{"f99999999999"}, FADE_MESSAGE, 2, INT32_MAX, 0, 0, 13},
    {{"F-2147483648"}, FADE_MESSAGE, 2, INT32_MAX, 0, 0, 13},        // negation saturates
    {{"F-99999999999"}, FADE_MESSAGE, 2, INT32_MAX, 0, 0, 13},
    {{"F2147483648"}, FADE_MESSAGE, 2, -INT32_MAX, 0, 0, 13},
    {{"T4294967309"}, TRACK_MESSAGE, 2, 0, 0, INT32_MAX, INT32_MAX}, // not 13 after wrapping
};

class CommandLine : public testing::TestWithParam<command_line_case> {};

TEST_P(CommandLine, SetsAndChecksTheSettings)
{
    const command_line_case &c = GetParam();
    std::vector<const char *> argv{"bgm-extract"};
    for (const std::string &arg : c.args)
        argv.push_back(arg.c_str());
    extract_settings settings = default_settings();
    parse_arguments(static_cast<int>(argv.size()), argv.data(), settings);
    EXPECT_EQ(settings.repeat, c.repeat);
    EXPECT_EQ(settings.fade, c.fade);
    EXPECT_EQ(settings.fade_pattern, c.fade_pattern);
    EXPECT_EQ(settings.first_track, c.first_track);
    EXPECT_EQ(settings.last_track, c.last_track);

    testing::internal::CaptureStdout();
    if (check_settings(settings))
        print_summary(settings);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLine, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<command_line_case> &info) {
                             return "case" + std::to_string(info.index);
                         });

TEST(CommandLine, TheExecutableReportsRejectedSettingsWithStatusTwo)
{
    // A folder without the data file: a run that passes the checks ends at
    // the missing file; one that fails them never looks for it.
    scratch_dir dir;
    for (const command_line_case &c : CASES) {
        const tool_result result = run_tool(c.args, dir.path());
        const bool rejected = c.printed.rfind("track=", 0) != 0;
        SCOPED_TRACE(c.printed);
        if (rejected) {
            EXPECT_EQ(result.output, c.printed);
            EXPECT_EQ(result.status, 2);
        } else {
            EXPECT_EQ(result.output, c.printed + "qv902b_bgm_tmp.dat not found.");
            EXPECT_EQ(result.status, 1);
        }
    }
    EXPECT_TRUE(dir.names().empty());
}

}  // namespace
