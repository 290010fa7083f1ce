// bgm-extract: writes the game's background music as WAV files.
#include <cstdio>

#include "host/host.h"
#include "run/extract.h"
#include "run/options.h"

// Help, the version, or the extraction the settings ask for; returns the
// exit status.
static int answer_request(int argc, char **argv)
{
    switch (find_request(argc, argv)) {
    case REQUEST_HELP:
        print_usage();
        return EXIT_DONE;
    case REQUEST_VERSION:
        print_version("bgm-extract");
        return EXIT_DONE;
    case REQUEST_RUN:
        break;
    }
    extract_settings settings = default_settings();
    parse_arguments(argc, argv, settings);
    if (!check_settings(settings))
        return EXIT_REJECTED;
    print_summary(settings);
    // Out before the data file's open, which may fail or take a while (a
    // network folder).
    std::fflush(stdout);
    return run_extraction(settings);
}

int main(int argc, char **argv)
{
    host_prepare_run();
    int status = answer_request(argc, argv);
    // Messages that went nowhere make a run that told its user nothing.
    if (!host_finish_console() && status == EXIT_DONE)
        status = EXIT_FAILED;
    return status;
}
