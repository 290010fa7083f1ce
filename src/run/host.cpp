#include "run/host.h"

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32

#include <cwchar>

#include <io.h>
#include <windows.h>

bool host_name_from_table(const char *table_bytes, host_name &name)
{
    name.table_bytes = table_bytes;
    const int chars = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, table_bytes, -1, name.path,
                                          HOST_NAME_CHARS - 5);
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

std::FILE *host_create_part(const host_name &name)
{
    if (is_directory(name.path) || is_directory(name.part_path))
        return nullptr;
    _wremove(name.part_path);
    const int fd = _wopen(name.part_path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE *file = _fdopen(fd, "wb");
    if (file == nullptr)
        _close(fd);
    return file;
}

bool host_commit_part(const host_name &name)
{
    return MoveFileExW(name.part_path, name.path, MOVEFILE_REPLACE_EXISTING) != 0;
}

void host_discard_part(const host_name &name)
{
    _wremove(name.part_path);
}

// A console line: ASCII text and a wide name, cut short rather than overrun.
struct wide_line {
    wchar_t text[HOST_NAME_CHARS * 2];
    DWORD length;
};

static void append_ascii(wide_line &line, const char *text)
{
    for (; *text != '\0' && line.length < HOST_NAME_CHARS * 2; text++)
        line.text[line.length++] = static_cast<wchar_t>(static_cast<unsigned char>(*text));
}

static void append_wide(wide_line &line, const wchar_t *text)
{
    for (; *text != L'\0' && line.length < HOST_NAME_CHARS * 2; text++)
        line.text[line.length++] = *text;
}

void host_print_line(const char *before, const host_name &name, const char *after)
{
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) {
        // Redirected: the table's bytes, as scripts and logs have always had them.
        std::printf("%s%s%s", before, name.table_bytes, after);
        std::fflush(stdout);
        return;
    }
    // A console shows UTF-16 right whatever its code page.
    wide_line line;
    line.length = 0;
    append_ascii(line, before);
    append_wide(line, name.path);
    append_ascii(line, after);
    std::fflush(stdout);
    DWORD written = 0;
    WriteConsoleW(console, line.text, line.length, &written, nullptr);
}

std::int64_t host_file_size(std::FILE *file)
{
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)
        return -1;
    return status.st_size;
}

#else

#include <cerrno>

#include <iconv.h>
#include <unistd.h>

bool host_name_from_table(const char *table_bytes, host_name &name)
{
    name.table_bytes = table_bytes;
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    char input[NAME_FIELD_BYTES];
    std::strncpy(input, table_bytes, sizeof input - 1);
    input[sizeof input - 1] = '\0';
    char *in = input;
    std::size_t in_left = std::strlen(input);
    char *out = name.path;
    std::size_t out_left = sizeof name.path - sizeof ".part";
    const std::size_t converted = iconv(converter, &in, &in_left, &out, &out_left);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1) || in_left != 0)
        return false;
    *out = '\0';
    std::strcpy(name.part_path, name.path);
    std::strcat(name.part_path, ".part");
    return true;
}

static bool is_directory(const char *path)
{
    struct stat status;
    return lstat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

std::FILE *host_create_part(const host_name &name)
{
    if (is_directory(name.path))
        return nullptr;
    // A stale ".part" file, or a link under that name, goes first; O_EXCL
    // then refuses to follow anything put there since.
    if (unlink(name.part_path) != 0 && errno != ENOENT)
        return nullptr;
    const int fd = open(name.part_path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE *file = fdopen(fd, "wb");
    if (file == nullptr)
        close(fd);
    return file;
}

bool host_commit_part(const host_name &name)
{
    // rename replaces a symbolic link under the final name, not its target.
    return rename(name.part_path, name.path) == 0;
}

void host_discard_part(const host_name &name)
{
    unlink(name.part_path);
}

void host_print_line(const char *before, const host_name &name, const char *after)
{
    std::printf("%s%s%s", before, name.path, after);
    std::fflush(stdout);
}

std::int64_t host_file_size(std::FILE *file)
{
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    return static_cast<std::int64_t>(status.st_size);
}

#endif
