#include "run/extract.h"

#include <cstdint>
#include <cstdio>

#include "render/track_writer.h"
#include "host/host.h"

static void report_too_short(const host_name &name)
{
    char before[sizeof DATA_FILE_NAME + 20];
    std::snprintf(before, sizeof before, "%s is too short for ", DATA_FILE_NAME);
    host_print_line(before, name, "\n");
}

// Writes one track through a temporary file of this run's own, so that a
// failure leaves no broken file behind, whatever was under the final name
// stays as it was, and a run started beside this one cannot mix in.
static bool extract_track(std::FILE *data_file, std::int64_t data_size, int index,
                          const extract_settings &settings)
{
    host_name name;
    if (!host_name_for_track(index, name)) {
        std::printf("cannot create %s\n", track_names[index]);
        std::fflush(stdout);
        return false;
    }
    host_print_line("Create ", name, " ...\n");

    const track_entry &entry = track_table[index];
    // Every byte the track reads lies below its loop end.
    if (data_size < entry.end) {
        report_too_short(name);
        return false;
    }
    host_output output;
    host_error error = 0;
    if (!host_create_output(name, output, error)) {
        host_print_failure("cannot create ", name, error);
        return false;
    }
    std::setvbuf(output.file, nullptr, _IONBF, 0);
    const render_result result = render_track(data_file, output.file, entry, settings);
    if (result != RENDER_OK) {
        error = host_last_error();
        host_discard_output(output);
        if (result == RENDER_READ_FAILED)
            report_too_short(name);
        else
            host_print_failure("cannot write ", name, error);
        return false;
    }
    if (!host_commit_output(name, output, error)) {
        host_print_failure("cannot write ", name, error);
        return false;
    }
    return true;
}

// Opens the data file, or says why not: "not found." only when there is no
// file of that name at all.
static std::FILE *open_data_file()
{
    std::FILE *data_file = nullptr;
    host_error error = 0;
    switch (host_open_data(DATA_FILE_NAME, data_file, error)) {
    case HOST_OPENED:
        return data_file;
    case HOST_MISSING:
        std::printf("%s not found.", DATA_FILE_NAME);
        return nullptr;
    case HOST_UNREADABLE:
        break;
    }
    char text[sizeof DATA_FILE_NAME + 16];
    std::snprintf(text, sizeof text, "cannot open %s", DATA_FILE_NAME);
    host_print_reason(text, error);
    return nullptr;
}

int run_extraction(const extract_settings &settings)
{
    std::FILE *data_file = open_data_file();
    if (data_file == nullptr)
        return EXIT_FAILED;
    const std::int64_t data_size = host_file_size(data_file);
    // Every read is one whole chunk straight into the copy buffer.
    std::setvbuf(data_file, nullptr, _IONBF, 0);

    const int first_index = settings.first_track != 0 ? settings.first_track - 1 : 0;
    int status = EXIT_DONE;
    for (int index = first_index; index < settings.last_track; index++) {
        if (!extract_track(data_file, data_size, index, settings))
            status = EXIT_FAILED;
    }
    std::fclose(data_file);
    return status;
}
