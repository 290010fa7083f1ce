// Scratch folders and running the built executable as a user would.
#pragma once

#include <cstdint>
#include <functional>
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

// Where a started program's standard output goes.
enum class output_kind {
    CAPTURED,     // a pipe, read by finish_program
    CLOSED,       // no standard output at all
    DEV_FULL,     // /dev/full: every write fails
    BROKEN_PIPE,  // a pipe whose reader has already left
};

struct run_options {
    std::int64_t file_size_limit = 0;
    std::vector<std::string> environment;
    output_kind output = output_kind::CAPTURED;
    bool ignore_sigpipe = false;
    // An empty /proc in a mount namespace of the program's own: the tool
    // then names its temporary files NAME.<pid>.<n>.part from the start, as
    // on file systems without unnamed ones. Needs can_mount().
    bool hide_proc = false;
    // Runs in the child, in dir, just before the program starts: the
    // child's process id is the program's.
    std::function<void()> in_child;
};

// Whether this process may make mount namespaces (root, or a user
// namespace that allows it).
bool can_mount();

// The two ways a track's temporary file is made: unnamed until it is
// complete (O_TMPFILE, named through /proc), or NAME.<pid>.<n>.part from the
// start, as where /proc or O_TMPFILE is missing (FAT and exFAT sticks, some
// network shares). hide_proc chooses the second.
struct temp_mode {
    const char *label;
    bool hide_proc;
};
extern const temp_mode TEMP_MODES[2];

// Whether the named mode can be set up here: a mount namespace, and no
// AddressSanitizer (it reads its options and checks leaks through /proc).
bool named_mode_available();

struct running_program {
    int pid;
    int output_fd;  // the captured output's read end, or -1
};

// Starts a program in folder dir and returns at once.
running_program start_program(const char *program, const std::vector<std::string> &args,
                              const std::string &dir, const run_options &options);

// Reads the started program's output to its end and waits for it.
tool_result finish_program(running_program &running);

// Whether the started program has ended; reaps nothing.
bool has_ended(int pid);

// Stops the started program at a moment when one of its temporary files
// has a name in dir, seen again while it is stopped, so that the track is
// certainly still being written. False if the program ended first.
bool stop_while_named(const scratch_dir &dir, int pid);

// The built bgm-extract, and the same start for it.
const char *tool_path();
running_program start_tool(const std::vector<std::string> &args, const std::string &dir,
                           const run_options &options = {});

// Whether the folder holds no temporary file: nothing ending in ".part".
bool no_part_files(const scratch_dir &dir);

// The folder's names that end in ".part".
std::vector<std::string> part_files(const scratch_dir &dir);

// A small deterministic generator, the same on every library.
struct lcg {
    std::uint64_t state;
    std::uint32_t next(std::uint32_t bound)
    {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::uint32_t>((state >> 33) % bound);
    }
};

// The UTF-8 output names, in track order.
extern const char *const UTF8_NAMES[13];

constexpr char DATA_NAME[] = "qv902b_bgm_tmp.dat";

// Whether the folder holds track's file exactly as a run with these
// settings writes it from the synthetic pattern.
bool track_file_is(const scratch_dir &dir, int track, int repeat, int fade = 0, int pattern = 0);
