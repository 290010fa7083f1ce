#include "run/options.h"

#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "render/fade.h"

// What --help prints, before the line that says where to read more.
static const char USAGE_TEXT[] =
    "usage: bgm-extract [n] [Tn] [fn | Fn] [pn]\n"
    "Writes each track of qv902b_bgm_tmp.dat, read from the current folder, as\n"
    "a WAV file in that same folder: the intro once, then the loop body n times,\n"
    "optionally ending in a fade-out. Each option is a letter with its number\n"
    "right after it, no space between:\n"
    "  n      passes through the loop body, 1-10 (default 2)\n"
    "  Tn     write only track n, 1-13 (also tn; default: every track)\n"
    "  fn     fade out the last n seconds in place, 0-30 (default 0: no fade)\n"
    "  Fn     play on n seconds past the last pass while fading, 0-30\n"
    "  pn     fade shape, 0-3 (also Pn): 0 exponential (default), 1 linear,\n"
    "         2 the mean of 0 and 1, 3 raised cosine\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "Example: bgm-extract T5 3 f10 p3\n";

static bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static std::int32_t saturate(std::int64_t value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

bool is_help_argument(const char *argument)
{
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
           std::strcmp(argument, "-?") == 0 ||
           (HOST_HELP_ARGUMENT != nullptr && std::strcmp(argument, HOST_HELP_ARGUMENT) == 0);
}

run_request find_request(int argc, const char *const *argv)
{
    run_request request = REQUEST_RUN;
    for (int i = 1; i < argc; i++) {
        if (is_help_argument(argv[i]))
            return REQUEST_HELP;
        if (std::strcmp(argv[i], "--version") == 0)
            request = REQUEST_VERSION;
    }
    return request;
}

void print_usage()
{
    std::fputs(USAGE_TEXT, stdout);
    host_print_more_help("bgm-extract");
}

void print_version(const char *program)
{
    std::printf("%s %s\n", program, BGM_VERSION);
}

std::int32_t read_number(const char *text)
{
    while (is_space(*text))
        text++;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        text++;
    // Past 2^31 every further digit saturates anyway; stop growing there so
    // that the accumulator never overflows.
    constexpr std::int64_t CAP = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > CAP)
            magnitude = CAP;
    }
    return saturate(negative ? -magnitude : magnitude);
}

void parse_arguments(int argc, const char *const *argv, extract_settings &settings)
{
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        switch (static_cast<signed char>(argument[0])) {
        case 'F':
            // Negated in 64 bits: -INT32_MIN saturates instead of overflowing.
            settings.fade = saturate(-std::int64_t{read_number(argument + 1)});
            break;
        case 'f':
            settings.fade = read_number(argument + 1);
            break;
        case 'P':
        case 'p':
            settings.fade_pattern = read_number(argument + 1);
            break;
        case 'T':
        case 't':
            settings.first_track = settings.last_track = read_number(argument + 1);
            break;
        default:
            settings.repeat = read_number(argument);
            break;
        }
    }
}

bool check_settings(const extract_settings &settings)
{
    if (settings.repeat < 1 || settings.repeat > 10) {
        std::printf("repeat must be 1-10\n");
        return false;
    }
    if (settings.fade < -30 || settings.fade > 30) {
        std::printf("fade must be 0-30\n");
        return false;
    }
    if (settings.fade_pattern < 0 || settings.fade_pattern >= FADE_PATTERN_COUNT) {
        std::printf("fade pattern must be 0-3\n");
        return false;
    }
    if (settings.last_track < 1 || settings.last_track > TRACK_COUNT) {
        std::printf("track number must be 1-%d\n", TRACK_COUNT);
        return false;
    }
    return true;
}

void print_summary(const extract_settings &settings)
{
    const int first = settings.first_track == 0 ? 1 : settings.first_track;
    std::printf("track=%d-%d , repeat=%d , fade=%d , fade pattern=%d\n", first,
                settings.last_track, settings.repeat, settings.fade, settings.fade_pattern);
}
