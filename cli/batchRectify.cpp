#include "cli/batchRectify.h"

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "calib/rectifyPicture.h"
#include "image/Image.h"

namespace {

// A decoded picture: packed rows of width × channels bytes, blue-green-red for colour.
struct Picture {
    std::vector<unsigned char> bytes;
    int width = 0;
    int height = 0;
    int channels = 1;
    QByteArray format;  // "bmp", "png" or "jpeg"
};

bool isBmp(const std::string& path) {
    char magic[2] = {};
    std::ifstream(path, std::ios::binary).read(magic, 2);
    return magic[0] == 'B' && magic[1] == 'M';
}

// BMP files are read as the dialog's Load BMP reads them: an 8-bit picture's bytes are its
// grey levels, whatever its palette.
std::string readBmpPicture(const std::string& path, Picture& picture) {
    Image image;
    if (!image.readBmp(path.c_str())) {
        return "not a readable BMP file";
    }
    if (image.bitCount != 8 && image.bitCount != 24) {
        return "a BMP of " + std::to_string(image.bitCount) + " bits per pixel (8 or 24 are read)";
    }
    unsigned char* rows = nullptr;
    image.getData(rows);
    picture.channels = image.bitCount / 8;
    picture.bytes.assign(rows, rows + std::size_t(image.rowBytes) * std::size_t(image.height));
    delete[] rows;
    picture.width = image.width;
    picture.height = image.height;
    picture.format = "bmp";
    return {};
}

std::string readPicture(const std::string& path, Picture& picture) {
    if (isBmp(path)) {
        return readBmpPicture(path, picture);
    }
    QImageReader reader(QString::fromStdString(path));
    picture.format = reader.format();
    if (picture.format != "png" && picture.format != "jpeg") {
        return "not a BMP, PNG or JPEG picture";
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return reader.errorString().toStdString();
    }
    picture.channels = image.isGrayscale() ? 1 : 3;
    image = image.convertToFormat(picture.channels == 1 ? QImage::Format_Grayscale8
                                                        : QImage::Format_BGR888);
    picture.width = image.width();
    picture.height = image.height();
    const std::size_t rowBytes = std::size_t(picture.width) * std::size_t(picture.channels);
    picture.bytes.resize(rowBytes * std::size_t(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(&picture.bytes[std::size_t(y) * rowBytes], image.constScanLine(y), rowBytes);
    }
    return {};
}

std::string writePicture(const std::string& path, const Picture& picture) {
    if (picture.format == "bmp") {
        Image image;
        return image.writeBmp(path.c_str(), picture.bytes.data(), picture.width, picture.height,
                              8 * picture.channels)
                   ? std::string()
                   : "cannot be written";
    }
    QImage image(picture.width, picture.height,
                 picture.channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_BGR888);
    const std::size_t rowBytes = std::size_t(picture.width) * std::size_t(picture.channels);
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y), &picture.bytes[std::size_t(y) * rowBytes], rowBytes);
    }
    QSaveFile file(QString::fromStdString(path));
    QImageWriter writer(&file, picture.format);
    writer.setQuality(95);
    if (!file.open(QIODevice::WriteOnly) || !writer.write(image) || !file.commit()) {
        return "cannot be written";
    }
    return {};
}

std::string rectifyOne(const BatchJob& job, const std::string& input, const std::string& output) {
    Picture picture;
    std::string problem = readPicture(input, picture);
    if (!problem.empty()) {
        return problem;
    }
    const Calibration& c = job.calibration;
    if (picture.width != c.frameWidth || picture.height != c.frameHeight) {
        return "the picture is " + std::to_string(picture.width) + " x " +
               std::to_string(picture.height) + ", the calibration is for " +
               std::to_string(c.frameWidth) + " x " + std::to_string(c.frameHeight);
    }
    double h[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) {
            h[r][k] = c.H(r + 1, k + 1);
        }
    }
    Picture rectified = picture;
    rectifyPicture(h, picture.bytes.data(), rectified.bytes.data(), picture.width, picture.height,
                   picture.channels);
    problem = writePicture(output, rectified);
    return problem.empty() ? problem : output + ": " + problem;
}

}  // namespace

int rectifyFiles(const BatchJob& job, std::ostream& errors, std::ostream* progress) {
    const std::size_t count = job.inputs.size();
    // Two inputs of one name would overwrite each other's result: the later ones fail.
    std::vector<std::string> outputs(count);
    std::set<std::string> taken;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = std::filesystem::path(job.inputs[i]).filename().string();
        if (taken.insert(name).second) {
            outputs[i] = (std::filesystem::path(job.outputFolder) / name).string();
        }
    }
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    int failed = 0;
    std::mutex report;
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            const std::string problem = outputs[i].empty()
                                            ? "another input has the same file name"
                                            : rectifyOne(job, job.inputs[i], outputs[i]);
            const std::lock_guard<std::mutex> lock(report);
            ++done;
            if (!problem.empty()) {
                ++failed;
                if (progress != nullptr) {
                    *progress << "\r\033[K";
                }
                errors << "plandis: " << job.inputs[i] << ": " << problem << "\n";
            }
            if (progress != nullptr) {
                *progress << "\rrectified " << done << " of " << count << std::flush;
            }
        }
    };
    std::vector<std::thread> workers;
    for (int j = 1; j < job.jobs && std::size_t(j) < count; ++j) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (progress != nullptr && count > 0) {
        *progress << "\n";
    }
    return failed;
}
