// The POSIX host: UTF-8 names, a temporary file of the run's own (unnamed
// where the file system allows it), signals that take it away with them.
#include "host/host.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The temporary file a signal must remove. armed_path is written only while
// path_armed is 0, so the handler never reads it half written.
static char armed_path[HOST_TEMP_CHARS];
static volatile std::sig_atomic_t path_armed = 0;

static void arm(const char *path)
{
    std::strcpy(armed_path, path);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    path_armed = 1;
}

static void disarm()
{
    path_armed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

// Async-signal-safe: one unlink of a name prepared beforehand, then the
// signal again, now at its default action, so the run ends as it would have.
extern "C" void remove_temp_and_die(int signal_number)
{
    if (path_armed)
        unlink(armed_path);
    raise(signal_number);
}

// A closed standard stream is held with /dev/null opened read-only: no file
// of the tool's can take its number, and a message meant for it still fails.
static void hold_standard_stream(int fd)
{
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
        const int held = open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd)
            close(held);
    }
}

static void catch_signal(int signal_number)
{
    struct sigaction action;
    if (sigaction(signal_number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN)
        return;  // ignored by whoever started the tool (nohup, a background job): so be it
    std::memset(&action, 0, sizeof action);
    action.sa_handler = remove_temp_and_die;
    sigemptyset(&action.sa_mask);
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(signal_number, &action, nullptr);
}

const char *const HOST_HELP_ARGUMENT = nullptr;

void host_print_more_help(const char *program)
{
    std::printf("More: man %s\n", program);
}

void host_prepare_run()
{
    for (int fd = 0; fd <= 2; fd++)
        hold_standard_stream(fd);
    const int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    for (const int signal_number : ending_signals)
        catch_signal(signal_number);
    // Past a file-size limit, write then fails with EFBIG like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool host_name_for_track(int index, host_name &name)
{
    name.table_bytes = track_names[index];
    std::snprintf(name.path, sizeof name.path, "%s", track_names_utf8[index]);
    std::snprintf(name.part_path, sizeof name.part_path, "%s.part", track_names_utf8[index]);
    return true;
}

static bool is_directory(const char *path)
{
    struct stat status;
    return lstat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

// NAME.<process id>.<attempt>.part: no other running process makes it.
static void make_temp_path(const host_name &name, unsigned attempt, host_output &output)
{
    std::snprintf(output.temp_path, sizeof output.temp_path, "%s.%ld.%u.part", name.path,
                  static_cast<long>(getpid()), attempt);
}

// A name left by a killed process that had the same id is skipped, not
// reused.
constexpr unsigned TEMP_ATTEMPTS = 100;

static int open_named(const host_name &name, host_output &output)
{
    for (unsigned attempt = 0; attempt < TEMP_ATTEMPTS; attempt++) {
        make_temp_path(name, attempt, output);
        arm(output.temp_path);
        // O_EXCL: never an existing file, never through a link.
        const int fd = open(output.temp_path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            output.named = true;
            return fd;
        }
        disarm();
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// An unnamed file in the working folder: a run that is killed leaves nothing.
// It gets its name through /proc at the end, so without /proc (a bare
// chroot or container) the named file serves instead.
static int open_unnamed()
{
#ifdef O_TMPFILE
    if (access("/proc/self/fd", X_OK) != 0)
        return -1;
    return open(".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
    errno = EOPNOTSUPP;
    return -1;
#endif
}

// Gives the unnamed file its temporary name, just before the rename.
static bool link_unnamed(const host_name &name, host_output &output, int fd)
{
    char fd_path[32];
    std::snprintf(fd_path, sizeof fd_path, "/proc/self/fd/%d", fd);
    for (unsigned attempt = 0; attempt < TEMP_ATTEMPTS; attempt++) {
        make_temp_path(name, attempt, output);
        arm(output.temp_path);
        if (linkat(AT_FDCWD, fd_path, AT_FDCWD, output.temp_path, AT_SYMLINK_FOLLOW) == 0) {
            output.named = true;
            return true;
        }
        disarm();
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool host_create_output(const host_name &name, host_output &output, host_error &error)
{
    output.file = nullptr;
    output.named = false;
    output.temp_path[0] = '\0';
    if (is_directory(name.path)) {
        error = EISDIR;
        return false;
    }
    unlink(name.part_path);  // an older version's leftover, if any
    int fd = open_unnamed();
    if (fd < 0)
        fd = open_named(name, output);
    if (fd >= 0)
        output.file = fdopen(fd, "wb");
    if (output.file == nullptr) {
        error = host_last_error();
        if (fd >= 0)
            close(fd);
        host_discard_output(output);
        return false;
    }
    return true;
}

bool host_commit_output(const host_name &name, host_output &output, host_error &error)
{
    std::FILE *file = output.file;
    output.file = nullptr;
    bool done = std::fflush(file) == 0;
    if (done && !output.named)
        done = link_unnamed(name, output, fileno(file));
    error = host_last_error();
    if (std::fclose(file) != 0 && done) {
        done = false;
        error = host_last_error();
    }
    // rename replaces a symbolic link under the final name, not its target.
    if (done && rename(output.temp_path, name.path) != 0) {
        done = false;
        error = host_last_error();
    }
    if (done)
        output.named = false;  // the temporary name is gone with the rename
    host_discard_output(output);
    return done;
}

void host_discard_output(host_output &output)
{
    if (output.file != nullptr)
        std::fclose(output.file);
    output.file = nullptr;
    if (output.named)
        unlink(output.temp_path);
    output.named = false;
    disarm();
}

host_open_result host_open_data(const char *name, std::FILE *&file, host_error &error)
{
    file = nullptr;
    // O_NONBLOCK: a FIFO's open would wait for a writer.
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = host_last_error();
        return errno == ENOENT ? HOST_MISSING : HOST_UNREADABLE;
    }
    struct stat status;
    if (fstat(fd, &status) != 0)
        error = host_last_error();
    else if (S_ISDIR(status.st_mode))
        error = EISDIR;
    else if (!S_ISREG(status.st_mode))
        error = HOST_ERROR_NOT_FILE;
    else if (fcntl(fd, F_SETFL, 0) != 0 || (file = fdopen(fd, "rb")) == nullptr)
        error = host_last_error();
    if (file == nullptr) {
        close(fd);
        return HOST_UNREADABLE;
    }
    return HOST_OPENED;
}

host_error host_last_error()
{
    return static_cast<host_error>(errno);
}

static const char *reason_text(host_error error)
{
    if (error == HOST_ERROR_NOT_FILE)
        return "not a regular file";
    return std::strerror(static_cast<int>(error));
}

void host_print_line(const char *before, const host_name &name, const char *after)
{
    std::printf("%s%s%s", before, name.path, after);
    std::fflush(stdout);
}

void host_print_failure(const char *before, const host_name &name, host_error error)
{
    std::printf("%s%s: %s\n", before, name.path, reason_text(error));
    std::fflush(stdout);
}

void host_print_reason(const char *text, host_error error)
{
    std::printf("%s: %s\n", text, reason_text(error));
    std::fflush(stdout);
}

bool host_finish_console()
{
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    return std::fclose(stdout) == 0 && written;
}

std::int64_t host_file_size(std::FILE *file)
{
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    return static_cast<std::int64_t>(status.st_size);
}
