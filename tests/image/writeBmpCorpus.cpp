// Writes the small files of the BMP case table into a folder (tests/data/bmp), where they
// pin the reader's behaviour and seed the fuzzer:
//   image_bmp_corpus tests/data/bmp
#include <cstdio>

#include "bmpCases.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    for (const BmpCase& c : bmpCases()) {
        if (c.file.size() <= goldenFileLimit)
            writeFile(std::string(argv[1]) + "/" + c.name + ".bmp", c.file);
    }
    return 0;
}
