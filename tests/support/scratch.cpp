#include "scratch.h"

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "render/track_table.h"
#include "synthetic.h"

namespace fs = std::filesystem;

const char *const UTF8_NAMES[13] = {
    "01 はじまりの朝.wav", "02 港町の午後.wav",   "03 森の小道.wav",  "04 ﾊﾞﾄﾙ開始.wav",
    "05 夕焼けの丘.wav",   "06 ソラへの祈り.wav", "07 静かな湖.wav",  "08 地下迷宮.wav",
    "09 雪の降る街.wav",   "10 風の草原.wav",     "11 表通りの賑わい.wav", "12 決戦の刻.wav",
    "13 旅の終わり.wav",
};

scratch_dir::scratch_dir()
{
    std::string pattern = (fs::temp_directory_path() / "bgm-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
}

scratch_dir::~scratch_dir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::string> scratch_dir::names() const
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> part_files(const scratch_dir &dir)
{
    std::vector<std::string> parts;
    for (const std::string &name : dir.names())
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)
            parts.push_back(name);
    return parts;
}

bool no_part_files(const scratch_dir &dir)
{
    return part_files(dir).empty();
}

bool can_mount()
{
    return std::system("unshare -m true 2>/dev/null") == 0;
}

const temp_mode TEMP_MODES[2] = {{"unnamed", false}, {"named", true}};

bool named_mode_available()
{
#ifdef __SANITIZE_ADDRESS__
    return false;
#else
    return can_mount();
#endif
}

const std::string &shared_data_file()
{
    static scratch_dir dir;
    static const std::string path = [] {
        const std::string file = dir.file("data.dat");
        if (!write_pattern_file(file))
            throw std::runtime_error("cannot write the synthetic data file");
        return file;
    }();
    return path;
}

void link_data_file(const scratch_dir &dir)
{
    fs::create_symlink(shared_data_file(), dir.file("qv902b_bgm_tmp.dat"));
}

tool_result run_tool(const std::vector<std::string> &args, const std::string &dir,
                     std::int64_t file_size_limit, const std::vector<std::string> &environment)
{
    return run_program(BGM_EXTRACT_PATH, args, dir, file_size_limit, environment);
}

const char *tool_path()
{
    return BGM_EXTRACT_PATH;
}

running_program start_tool(const std::vector<std::string> &args, const std::string &dir,
                           const run_options &options)
{
    return start_program(BGM_EXTRACT_PATH, args, dir, options);
}

tool_result run_program(const char *program, const std::vector<std::string> &args,
                        const std::string &dir, std::int64_t file_size_limit,
                        const std::vector<std::string> &environment)
{
    run_options options;
    options.file_size_limit = file_size_limit;
    options.environment = environment;
    running_program running = start_program(program, args, dir, options);
    return finish_program(running);
}

// In the child: an empty /proc that only it sees.
static bool hide_proc()
{
    return unshare(CLONE_NEWNS) == 0 &&
           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("none", "/proc", "tmpfs", 0, nullptr) == 0;
}

// In the child: standard output as the options ask.
static void set_up_output(output_kind output, int pipe_write)
{
    if (output == output_kind::CLOSED) {
        close(STDOUT_FILENO);
    } else if (output == output_kind::DEV_FULL) {
        const int full = open("/dev/full", O_WRONLY);
        dup2(full, STDOUT_FILENO);
        close(full);
    } else {
        dup2(pipe_write, STDOUT_FILENO);
    }
}

running_program start_program(const char *program, const std::vector<std::string> &args,
                              const std::string &dir, const run_options &options)
{
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = fork();
    if (child == 0) {
        set_up_output(options.output, pipe_fds[1]);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        // As from an interactive shell, whatever started the tests.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        signal(SIGHUP, SIG_DFL);
        signal(SIGPIPE, options.ignore_sigpipe ? SIG_IGN : SIG_DFL);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        if (options.hide_proc && !hide_proc())
            _exit(126);
        if (options.in_child)
            options.in_child();
        if (options.file_size_limit > 0) {
            // SIGXFSZ stays at its default: the tool itself turns the
            // limit into a failed write.
            const rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                               static_cast<rlim_t>(options.file_size_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const std::string &setting : options.environment)
            putenv(const_cast<char *>(setting.c_str()));
        std::vector<char *> argv{const_cast<char *>(program)};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    if (options.output == output_kind::BROKEN_PIPE) {
        close(pipe_fds[0]);  // the reader has left
        pipe_fds[0] = -1;
    }
    return running_program{child, pipe_fds[0]};
}

tool_result finish_program(running_program &running)
{
    tool_result result{-1, {}};
    char buffer[4096];
    if (running.output_fd >= 0) {
        for (ssize_t got; (got = read(running.output_fd, buffer, sizeof buffer)) > 0;)
            result.output.append(buffer, static_cast<std::size_t>(got));
        close(running.output_fd);
        running.output_fd = -1;
    }
    int wait_status = 0;
    waitpid(running.pid, &wait_status, 0);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return result;
}

bool has_ended(int pid)
{
    siginfo_t info;
    info.si_pid = 0;
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

bool stop_while_named(const scratch_dir &dir, int pid)
{
    while (!has_ended(pid)) {
        if (no_part_files(dir))
            continue;
        kill(pid, SIGSTOP);
        siginfo_t info;
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED | WEXITED | WNOWAIT) != 0 ||
            info.si_code != CLD_STOPPED)
            return false;  // it ended before the stop
        if (!no_part_files(dir))
            return true;
        kill(pid, SIGCONT);  // between tracks: try the next one
    }
    return false;
}

bool track_file_is(const scratch_dir &dir, int track, int repeat, int fade, int pattern)
{
    const track_entry &entry = track_table[track - 1];
    const track_plan plan = plan_track(entry.start, entry.loop, entry.end, repeat, fade);
    return file_matches(dir.file(UTF8_NAMES[track - 1]), plan.spans, plan.fade_bytes, pattern);
}
