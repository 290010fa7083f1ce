// bgm-hold-file: holds a file open the way a player or an editor does,
// sharing nothing, until its standard input ends. For the Wine checks:
//   bgm-hold-file NAME   (prints "held" once the file is open)
#include <cstdio>

#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2)
        return 2;
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    CloseHandle(file);
    return 0;
}
