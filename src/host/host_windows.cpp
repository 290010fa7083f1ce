// The Windows host: UTF-16 names, UTF-16 console text, a temporary file of
// the run's own that Ctrl-C or a closed console window takes away, and a
// window that stays open after a double-click.
#include "host/host.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

// The temporary file the console's Ctrl-C or close event must remove.
// armed_path is written only while path_armed is 0.
static wchar_t armed_path[HOST_TEMP_CHARS];
static volatile LONG path_armed = 0;

// A line that did not reach the console.
static bool console_failed = false;

static void arm(const wchar_t *path)
{
    std::wcscpy(armed_path, path);
    InterlockedExchange(&path_armed, 1);
}

static void disarm()
{
    InterlockedExchange(&path_armed, 0);
}

// Runs on a thread of its own. The file was opened sharing delete, so it is
// removed as the process ends, also in the moment after its mark for
// deletion is lifted; the process ends now, as Ctrl-C would have ended it,
// before the main thread can begin another file.
static BOOL WINAPI remove_temp_and_end(DWORD event)
{
    (void)event;
    if (InterlockedCompareExchange(&path_armed, 0, 0) != 0)
        DeleteFileW(armed_path);
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

const char *const HOST_HELP_ARGUMENT = "/?";

void host_print_more_help(const char *program)
{
    (void)program;
    std::printf("More: README.ja.md (Japanese) and README.md, beside this program.\n");
}

void host_prepare_run()
{
    SetConsoleCtrlHandler(remove_temp_and_end, TRUE);
}

bool host_name_for_track(int index, host_name &name)
{
    name.table_bytes = track_names[index];
    const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, track_names_utf8[index],
                                          -1, name.path, HOST_NAME_CHARS - 5);
    if (chars == 0)
        return false;
    std::wcscpy(name.part_path, name.path);
    std::wcscat(name.part_path, L".part");
    return true;
}

static bool is_directory(const wchar_t *path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

static void append_number(wchar_t *text, unsigned long value)
{
    wchar_t digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    text += std::wcslen(text);
    while (count > 0)
        *text++ = digits[--count];
    *text = L'\0';
}

// NAME.<process id>.<attempt>.part: no other running process makes it.
static void make_temp_path(const host_name &name, unsigned attempt, host_output &output)
{
    std::wcscpy(output.temp_path, name.path);
    std::wcscat(output.temp_path, L".");
    append_number(output.temp_path, GetCurrentProcessId());
    std::wcscat(output.temp_path, L".");
    append_number(output.temp_path, attempt);
    std::wcscat(output.temp_path, L".part");
}

// A name left by a killed process that had the same id is skipped.
constexpr unsigned TEMP_ATTEMPTS = 100;

// A file marked for deletion goes when its last handle closes, also when
// the process is killed (taskkill /F, a debugger): the mark stays on until
// the file is complete, like an unnamed file on Linux.
static bool mark_for_deletion(HANDLE handle, bool deleted)
{
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

static HANDLE open_named(const host_name &name, host_output &output, host_error &error)
{
    for (unsigned attempt = 0; attempt < TEMP_ATTEMPTS; attempt++) {
        make_temp_path(name, attempt, output);
        arm(output.temp_path);
        // CREATE_NEW: never an existing file. Sharing delete lets the
        // Ctrl-C handler remove it while it is open.
        const HANDLE handle =
            CreateFileW(output.temp_path, GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            output.named = true;
            mark_for_deletion(handle, true);  // where it fails, the Ctrl-C handler still serves
            return handle;
        }
        error = GetLastError();
        disarm();
        if (error != ERROR_FILE_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

bool host_create_output(const host_name &name, host_output &output, host_error &error)
{
    output.file = nullptr;
    output.named = false;
    output.temp_path[0] = L'\0';
    if (is_directory(name.path)) {
        error = HOST_ERROR_FOLDER;
        return false;
    }
    DeleteFileW(name.part_path);  // an older version's leftover, if any
    const HANDLE handle = open_named(name, output, error);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        error = ERROR_TOO_MANY_OPEN_FILES;
        CloseHandle(handle);
    } else if ((output.file = _fdopen(fd, "wb")) == nullptr) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        _close(fd);
    }
    if (output.file == nullptr) {
        host_discard_output(output);
        return false;
    }
    return true;
}

// MoveFileExW says only "access denied" when another program holds the
// final file open; opening it for deletion tells that apart.
static host_error replace_error(const wchar_t *path, host_error error)
{
    if (error != ERROR_ACCESS_DENIED)
        return error;
    const HANDLE handle = CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return error;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : error;
}

// A run that finishes the same track moves its own file onto the final name
// at the same moment: while it does, the file under that name is open and
// cannot be replaced. So a move refused for that reason is tried again for
// up to a second before the failure counts; a program that holds the file
// open all along still gets its message then.
constexpr int MOVE_ATTEMPTS = 50;
constexpr DWORD MOVE_PAUSE_MS = 20;

static bool move_over(const wchar_t *from, const wchar_t *to)
{
    for (int attempt = 1;; attempt++) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            attempt == MOVE_ATTEMPTS) {
            SetLastError(error);
            return false;
        }
        Sleep(MOVE_PAUSE_MS);
    }
}

bool host_commit_output(const host_name &name, host_output &output, host_error &error)
{
    std::FILE *file = output.file;
    output.file = nullptr;
    bool done = std::fflush(file) == 0 &&
                mark_for_deletion(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), false);
    error = GetLastError();
    if (std::fclose(file) != 0 && done) {
        done = false;
        error = GetLastError();
    }
    if (done && !move_over(output.temp_path, name.path)) {
        done = false;
        error = replace_error(name.path, GetLastError());
    }
    if (done)
        output.named = false;  // the temporary name is gone with the move
    host_discard_output(output);
    return done;
}

void host_discard_output(host_output &output)
{
    if (output.file != nullptr)
        std::fclose(output.file);
    output.file = nullptr;
    if (output.named)
        DeleteFileW(output.temp_path);
    output.named = false;
    disarm();
}

// A wide copy of an ASCII name.
static void widen(const char *name, wchar_t *wide, std::size_t room)
{
    std::size_t i = 0;
    for (; name[i] != '\0' && i + 1 < room; i++)
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(name[i]));
    wide[i] = L'\0';
}

host_open_result host_open_data(const char *name, std::FILE *&file, host_error &error)
{
    file = nullptr;
    wchar_t path[HOST_NAME_CHARS];
    widen(name, path, HOST_NAME_CHARS);
    // Shared as fopen shares it: others may read and write meanwhile.
    const HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return HOST_MISSING;
        // A folder reads as "access denied".
        if (error == ERROR_ACCESS_DENIED && is_directory(path))
            error = HOST_ERROR_FOLDER;
        return HOST_UNREADABLE;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        error = HOST_ERROR_NOT_FILE;
        CloseHandle(handle);
        return HOST_UNREADABLE;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        error = ERROR_TOO_MANY_OPEN_FILES;
        CloseHandle(handle);
        return HOST_UNREADABLE;
    }
    if ((file = _fdopen(fd, "rb")) == nullptr) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        _close(fd);
        return HOST_UNREADABLE;
    }
    return HOST_OPENED;
}

host_error host_last_error()
{
    return GetLastError();
}

// A console line: ASCII and wide text, cut short rather than overrun.
constexpr DWORD LINE_CHARS = 512;
struct wide_line {
    wchar_t text[LINE_CHARS];
    DWORD length;
};

static void append_ascii(wide_line &line, const char *text)
{
    for (; *text != '\0' && line.length < LINE_CHARS; text++)
        line.text[line.length++] = static_cast<wchar_t>(static_cast<unsigned char>(*text));
}

static void append_wide(wide_line &line, const wchar_t *text)
{
    for (; *text != L'\0' && line.length < LINE_CHARS; text++)
        line.text[line.length++] = *text;
}

static bool output_console(HANDLE &console)
{
    console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return console != INVALID_HANDLE_VALUE && console != nullptr && GetConsoleMode(console, &mode);
}

static void write_console(HANDLE console, const wide_line &line)
{
    std::fflush(stdout);
    DWORD written = 0;
    if (!WriteConsoleW(console, line.text, line.length, &written, nullptr) ||
        written != line.length)
        console_failed = true;
}

// before, the name, ": reason" when there is one, after. A console shows
// UTF-16 right whatever its code page; redirected, the table's code page
// 932 bytes go out as scripts and logs have always had them.
static void print_parts(const char *before, const host_name *name, const wchar_t *reason,
                        const char *after)
{
    HANDLE console;
    if (!output_console(console)) {
        char reason_bytes[LINE_CHARS] = "";
        if (reason != nullptr &&
            WideCharToMultiByte(932, 0, reason, -1, reason_bytes, sizeof reason_bytes, nullptr,
                                nullptr) == 0)
            reason_bytes[0] = '\0';
        std::printf("%s%s%s%s%s", before, name != nullptr ? name->table_bytes : "",
                    reason != nullptr ? ": " : "", reason_bytes, after);
        std::fflush(stdout);
        return;
    }
    wide_line line;
    line.length = 0;
    append_ascii(line, before);
    if (name != nullptr)
        append_wide(line, name->path);
    if (reason != nullptr) {
        append_ascii(line, ": ");
        append_wide(line, reason);
    }
    append_ascii(line, after);
    write_console(console, line);
}

void host_print_line(const char *before, const host_name &name, const char *after)
{
    print_parts(before, &name, nullptr, after);
}

// The system's text for an error, in the user's language, as one line
// without the closing full stop, like the POSIX texts.
static void reason_text(host_error error, wchar_t *text, DWORD room)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        std::wcscpy(text, L"the file is in use by another program");
        return;
    }
    if (error == HOST_ERROR_FOLDER) {
        std::wcscpy(text, L"a folder of that name is in the way");
        return;
    }
    if (error == HOST_ERROR_NOT_FILE) {
        std::wcscpy(text, L"not a regular file");
        return;
    }
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, static_cast<DWORD>(error), 0, text, room, nullptr);
    while (length > 0 && (text[length - 1] == L' ' || text[length - 1] == L'.' ||
                          text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                          text[length - 1] == L'\x3002'))
        length--;
    text[length] = L'\0';
    if (length == 0) {
        std::wcscpy(text, L"error ");
        append_number(text, error);
    }
}

void host_print_failure(const char *before, const host_name &name, host_error error)
{
    wchar_t reason[256];
    reason_text(error, reason, 256);
    print_parts(before, &name, reason, "\n");
}

void host_print_reason(const char *text, host_error error)
{
    wchar_t reason[256];
    reason_text(error, reason, 256);
    print_parts(text, nullptr, reason, "\n");
}

// Whether the console is the tool's alone: Windows made it for a
// double-click and closes it the moment the tool ends. From cmd,
// PowerShell or a batch file the shell shares it.
static bool console_of_its_own()
{
    DWORD mode = 0;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE || input == nullptr || !GetConsoleMode(input, &mode))
        return false;
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

// Keeps a double-clicked run's messages on screen until the user has read
// them.
static void wait_for_enter(HANDLE console)
{
    CONSOLE_SCREEN_BUFFER_INFO screen;
    wide_line line;
    line.length = 0;
    if (GetConsoleScreenBufferInfo(console, &screen) && screen.dwCursorPosition.X != 0)
        append_ascii(line, "\r\n");  // "not found." ends without a line feed
    append_ascii(line, "Press Enter to close this window.");
    write_console(console, line);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    wchar_t typed[64];
    DWORD count = 0;
    while (ReadConsoleW(input, typed, 64, &count, nullptr) && count > 0) {
        if (std::wmemchr(typed, L'\r', count) != nullptr ||
            std::wmemchr(typed, L'\n', count) != nullptr)
            break;
    }
}

bool host_finish_console()
{
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    HANDLE console;
    if (output_console(console) && console_of_its_own())
        wait_for_enter(console);
    return std::fclose(stdout) == 0 && written && !console_failed;
}

std::int64_t host_file_size(std::FILE *file)
{
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)
        return -1;
    return status.st_size;
}
