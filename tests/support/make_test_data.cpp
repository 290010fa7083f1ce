// Writes the synthetic data file (every frame distinct) for scripts:
//   bgm-test-data [path [bytes]]
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "synthetic.h"

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : "qv902b_bgm_tmp.dat";
    const std::int64_t bytes = argc > 2 ? std::atoll(argv[2]) : SYNTHETIC_DATA_BYTES;
    if (!write_pattern_file(path, bytes)) {
        std::printf("cannot write %s\n", path);
        return 1;
    }
    return 0;
}
