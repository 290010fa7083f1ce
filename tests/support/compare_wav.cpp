// Compares two WAV files of the tool's form sample by sample:
//   bgm-compare-wav a.wav b.wav [tolerance]
// Prints how many samples differ and by how much at most; exits 0 when the
// files have the same size and header and no sample differs by more than
// the tolerance (default 0), else 1.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "synthetic.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::printf("usage: bgm-compare-wav a.wav b.wav [tolerance]\n");
        return 2;
    }
    const int tolerance = argc > 3 ? std::atoi(argv[3]) : 0;
    const std::vector<unsigned char> a = read_file(argv[1]);
    const std::vector<unsigned char> b = read_file(argv[2]);
    if (a.size() != b.size() || a.size() < 44) {
        std::printf("%s: sizes differ (%zu, %zu)\n", argv[1], a.size(), b.size());
        return 1;
    }
    for (std::size_t i = 0; i < 44; i++) {
        if (a[i] != b[i]) {
            std::printf("%s: headers differ at byte %zu\n", argv[1], i);
            return 1;
        }
    }
    long differing = 0;
    int largest = 0;
    for (std::size_t i = 44; i + 1 < a.size(); i += 2) {
        const int x = static_cast<std::int16_t>(a[i] | (a[i + 1] << 8));
        const int y = static_cast<std::int16_t>(b[i] | (b[i + 1] << 8));
        const int difference = std::abs(x - y);
        differing += difference != 0;
        largest = std::max(largest, difference);
    }
    std::printf("%s: %ld of %zu samples differ, by at most %d\n", argv[1], differing,
                (a.size() - 44) / 2, largest);
    return largest <= tolerance ? 0 : 1;
}
