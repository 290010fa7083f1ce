// libFuzzer target over the command line: the input is split at NUL bytes
// into arguments, parsed and checked. Beyond what the sanitizers catch, it
// holds the parser to strtoll's reading of every number, the checks to
// their bounds, and help and the version to their exact words.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "run/options.h"

static std::int32_t reference_number(const std::string &text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The checks print their messages; keep the fuzzer's output readable.
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> args(1, "bgm-extract");
    args.emplace_back();
    for (std::size_t i = 0; i < size; i++) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }
    std::vector<const char *> argv;
    for (const std::string &arg : args)
        argv.push_back(arg.c_str());

    for (std::size_t i = 1; i < args.size(); i++) {
        const std::string &arg = args[i];
        if (read_number(arg.c_str()) != reference_number(arg))
            std::abort();
    }

    // Help and the version answer to the exact words alone.
    bool help = false, version = false;
    for (std::size_t i = 1; i < args.size(); i++) {
        help = help || args[i] == "--help" || args[i] == "-h" || args[i] == "-?";
        version = version || args[i] == "--version";
    }
    const run_request expected = help ? REQUEST_HELP : version ? REQUEST_VERSION : REQUEST_RUN;
    if (find_request(static_cast<int>(argv.size()), argv.data()) != expected)
        std::abort();

    extract_settings settings = default_settings();
    parse_arguments(static_cast<int>(argv.size()), argv.data(), settings);
    if (check_settings(settings)) {
        const bool in_bounds = settings.repeat >= 1 && settings.repeat <= 10 &&
                               settings.fade >= -30 && settings.fade <= 30 &&
                               settings.fade_pattern >= 0 && settings.fade_pattern <= 3 &&
                               settings.last_track >= 1 && settings.last_track <= TRACK_COUNT &&
                               (settings.first_track == 0 ||
                                settings.first_track == settings.last_track);
        if (!in_bounds)
            std::abort();
        print_summary(settings);
    }
    return 0;
}
