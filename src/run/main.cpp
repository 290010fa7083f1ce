// bgm-extract: writes the game's background music as WAV files.
#include "run/extract.h"
#include "run/options.h"

int main(int argc, char **argv)
{
    extract_settings settings = default_settings();
    parse_arguments(argc, argv, settings);
    if (!check_settings(settings))
        return EXIT_REJECTED;
    print_summary(settings);
    return run_extraction(settings);
}
