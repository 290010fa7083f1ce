// Scratch folders and running the built executable as a user would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A new empty folder, removed with everything in it when this goes.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    // The names in the folder, sorted.
    std::vector<std::string> names() const;

private:
    std::string path_;
};

// A shared synthetic data file of SYNTHETIC_DATA_BYTES, made once per test
// program; link_data_file puts it into a folder under the data file's name.
const std::string &shared_data_file();
void link_data_file(const scratch_dir &dir);

struct tool_result {
    int status;          // exit status, or 128 + signal
    std::string output;  // everything written on standard output
};

// Runs bgm-extract with args in folder dir. file_size_limit, when not 0,
// caps the size of any file the tool writes (as a full disk would).
tool_result run_tool(const std::vector<std::string> &args, const std::string &dir,
                     std::int64_t file_size_limit = 0,
                     const std::vector<std::string> &environment = {});

// Runs any program the same way.
tool_result run_program(const char *program, const std::vector<std::string> &args,
                        const std::string &dir, std::int64_t file_size_limit = 0,
                        const std::vector<std::string> &environment = {});

// The UTF-8 output names, in track order.
extern const char *const UTF8_NAMES[13];

constexpr char DATA_NAME[] = "qv902b_bgm_tmp.dat";

// Whether the folder holds track's file exactly as a run with these
// settings writes it from the synthetic pattern.
bool track_file_is(const scratch_dir &dir, int track, int repeat, int fade = 0, int pattern = 0);
