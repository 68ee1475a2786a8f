// Arbitrary bytes as a picture file through the whole load path, Qt's decoders included:
// a file either is refused or gives an 8- or 24-bit picture within the size limits.
#include <string>

#include "fuzz/fuzzCheck.h"
#include "image/Image.h"
#include "image/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Image picture;
    std::string header;  // an 8- or 24-bit picture; Image's own limits bound its size
    FUZZ_CHECK(!loadPicture(inputFile(data, size), picture, header) ||
               (!header.empty() && picture.pixels && picture.bitCount % 16 == 8));
    return 0;
}
