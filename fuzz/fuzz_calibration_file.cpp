// Arbitrary bytes as a calibration file, its lens, lines and plane included: a file is either
// refused with a reason or loaded, and a loaded one is written and read back to the same text.
#include <string>

#include "calib/calibrationFile.h"
#include "fuzz/fuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Calibration c;
    if (!loadCalibration(inputFile(data, size), c).empty())
        return 0;
    const std::string text = calibrationJson(c, "t");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    Calibration again;
    FUZZ_CHECK(loadCalibration(inputFile(bytes, text.size()), again).empty());
    FUZZ_CHECK(calibrationJson(again, "t") == text);
    return 0;
}
