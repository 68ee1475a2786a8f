// Arbitrary bytes as a picture file through the whole load path, Qt's decoders included:
// a file either is refused or gives an 8- or 24-bit picture within the size limits.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz/fuzzCheck.h"
#include "image/Image.h"
#include "image/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("fuzz_decode", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(::ftruncate(fd, 0) == 0 && ::pwrite(fd, data, size, 0) == ssize_t(size));
    Image picture;
    std::string header;  // an 8- or 24-bit picture; Image's own limits bound its size
    FUZZ_CHECK(!loadPicture(path.c_str(), picture, header) ||
               (!header.empty() && picture.pixels && picture.bitCount % 16 == 8));
    return 0;
}
