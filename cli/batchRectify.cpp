#include "cli/batchRectify.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "calib/lensDistortion.h"
#include "calib/rectifyPicture.h"
#include "image/Image.h"
#include "image/ImageDecode.h"

namespace {

std::string sizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// Packed rows of the picture, one channel when every pixel is grey.
std::vector<unsigned char> packedRows(const Image& picture, int& channels) {
    unsigned char* rows = nullptr;
    picture.getData(rows);
    const std::size_t bytes = std::size_t(picture.rowBytes) * std::size_t(picture.height);
    std::vector<unsigned char> packed(rows, rows + bytes);
    delete[] rows;
    bool grey = true;
    for (std::size_t i = 0; picture.bitCount == 24 && grey && i < bytes; i += 3)
        grey = packed[i] == packed[i + 1] && packed[i] == packed[i + 2];
    channels = grey ? 1 : 3;
    if (grey && picture.bitCount == 24) {
        for (std::size_t i = 0; i < bytes / 3; ++i)
            packed[i] = packed[3 * i];
        packed.resize(bytes / 3);
    }
    return packed;
}

// What every picture of a job is warped by, made once from the calibration.
struct JobWarp {
    HomographyTable h;
    RadialTable lens;
    int horizon;  // a plane's side of its horizon; 0 for pixels
};

JobWarp warpOf(const Calibration& c) {
    JobWarp warp{{}, radialTableOf(c.lens), c.plane.unit.empty() ? 0 : horizonSide(c.H, c.output)};
    toTable(c.H, warp.h);
    return warp;
}

std::string rectifyOne(const Calibration& c, const JobWarp& warp, const std::string& input,
                       const std::string& output) {
    Image picture;
    PictureFile file;
    switch (readPicture(input.c_str(), picture, file, {c.frameWidth, c.frameHeight, true})) {
        case PictureRead::whole:
            break;
        case PictureRead::cutShort:
            return "the file ends before its picture does (a copy that stopped?)";
        case PictureRead::notRegular:
            return "not a regular file";
        case PictureRead::unreadable:
            return "cannot be read";
        case PictureRead::notPicture:
            return "not a picture this program reads (BMP, PNG, JPEG, GIF)";
        case PictureRead::otherSize:
            return "the picture is " + sizeText(file.width, file.height) +
                   ", the calibration is for " + sizeText(c.frameWidth, c.frameHeight);
    }
    int channels = 1;
    const std::vector<unsigned char> source = packedRows(picture, channels);
    // A plane's output frame is its layout's; pixels beyond its horizon stay 0.
    const bool plane = !c.plane.unit.empty();
    const int width = plane ? c.layout.width : picture.width;
    const int height = plane ? c.layout.height : picture.height;
    std::vector<unsigned char> rectified(std::size_t(width) * std::size_t(height) *
                                         std::size_t(channels));
    rectifyPicture(warp.h, warp.lens, source.data(), picture.width, picture.height,
                   rectified.data(), width, height, channels, warp.horizon);
    if (!savePicture(output.c_str(), savedFormat(file.format), rectified.data(), width, height,
                     channels))
        return output + ": cannot be written";
    return {};
}

// Where each input's result goes: its file name in the output folder, a format that cannot
// be written with the extension .png; empty when an earlier input takes that name.
std::vector<std::string> outputPaths(const BatchJob& job) {
    std::vector<std::string> outputs;
    std::set<std::string> taken;
    for (const std::string& input : job.inputs) {
        std::filesystem::path name = std::filesystem::path(input).filename();
        const std::string format = pictureFormat(input.c_str());
        if (!format.empty() && savedFormat(format) != format)
            name.replace_extension(".png");
        const bool free = taken.insert(name.string()).second;
        outputs.push_back(free ? (std::filesystem::path(job.outputFolder) / name).string() : "");
    }
    return outputs;
}

// The first output that is one of the input files themselves (whatever names lead to it),
// with that input; empty when none is.
std::pair<std::string, std::string> overwrite(const BatchJob& job,
                                              const std::vector<std::string>& outputs) {
    std::map<std::pair<dev_t, ino_t>, std::string> inputs;
    struct stat status {};
    for (const std::string& input : job.inputs)
        if (::stat(input.c_str(), &status) == 0)
            inputs.emplace(std::pair(status.st_dev, status.st_ino), input);
    for (const std::string& output : outputs) {
        if (output.empty() || ::stat(output.c_str(), &status) != 0)
            continue;
        const auto same = inputs.find(std::pair(status.st_dev, status.st_ino));
        if (same != inputs.end())
            return {output, same->second};
    }
    return {};
}

}  // namespace

int rectifyFiles(const BatchJob& job, std::ostream& errors, std::ostream* progress) {
    const std::vector<std::string> outputs = outputPaths(job);
    const auto [output, input] = overwrite(job, outputs);
    if (!output.empty()) {
        errors << "plandis: " + output + " would be written over the input " + input +
                      "; choose another --output folder\n";
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(job.outputFolder, error);
    if (!std::filesystem::is_directory(job.outputFolder)) {
        errors << "plandis: " + job.outputFolder + ": not a folder that can be made\n";
        return 1;
    }
    const std::size_t count = job.inputs.size();
    const JobWarp warp = warpOf(job.calibration);
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    int failed = 0;
    std::mutex report;
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            const std::string problem =
                outputs[i].empty() ? "another input has the same file name"
                                   : rectifyOne(job.calibration, warp, job.inputs[i], outputs[i]);
            // Each line goes out in one piece, so lines of parallel jobs never mix.
            std::string line;
            const std::lock_guard<std::mutex> lock(report);
            ++done;
            if (!problem.empty()) {
                ++failed;
                line = (progress != nullptr ? "\r\033[K" : "") + std::string("plandis: ") +
                       job.inputs[i] + ": " + problem + "\n";
                errors << line << std::flush;
            }
            if (progress != nullptr) {
                *progress << "\rrectified " + std::to_string(done) + " of " + std::to_string(count)
                          << std::flush;
            }
        }
    };
    std::vector<std::thread> workers;
    for (int j = 1; j < job.jobs && std::size_t(j) < count; ++j)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    if (progress != nullptr && count > 0)
        *progress << "\n";
    return failed == 0 ? 0 : 1;
}
