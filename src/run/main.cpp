// bgm-extract: writes the game's background music as WAV files.
#include <cstdio>

#include "run/extract.h"
#include "host/host.h"
#include "run/options.h"

int main(int argc, char **argv)
{
    host_prepare_run();
    extract_settings settings = default_settings();
    parse_arguments(argc, argv, settings);
    int status = EXIT_REJECTED;
    if (check_settings(settings)) {
        print_summary(settings);
        // Out before the data file's open, which may block (a FIFO, a
        // network folder) or fail.
        std::fflush(stdout);
        status = run_extraction(settings);
    }
    // Messages that went nowhere make a run that told its user nothing.
    if (!host_finish_console() && status == EXIT_DONE)
        status = EXIT_FAILED;
    return status;
}
