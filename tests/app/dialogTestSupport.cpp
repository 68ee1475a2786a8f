#include "dialogTestSupport.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <cstring>

#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "tests/support/sharedStateReset.h"

void resetSharedState() {
    resetFrameState();
    homography = linal::Matrix(3, 3, 0.0);
    homographyInverse = linal::Matrix(3, 3, 0.0);
}

MessageRecorder::MessageRecorder() {
    messageBoxStandIn = [this](QWidget*, const QString& text) { texts << text; };
}

MessageRecorder::~MessageRecorder() {
    messageBoxStandIn = nullptr;
}

bool openDialog(std::unique_ptr<PlandisDlg>& dialog, std::unique_ptr<MessageRecorder>& messages) {
    resetSharedState();
    messages = std::make_unique<MessageRecorder>();
    dialog = std::make_unique<PlandisDlg>();
    dialog->show();
    return QTest::qWaitForWindowExposed(dialog.get());
}

void closeDialog(std::unique_ptr<PlandisDlg>& dialog, std::unique_ptr<MessageRecorder>& messages) {
    dialog.reset();
    messages.reset();
    resetSharedState();
}

FileDialogAnswer::FileDialogAnswer(std::optional<QString> path) {
    fileDialogStandIn = [this, path](QFileDialog& dialog) -> std::optional<QString> {
        ++asked;
        acceptMode = dialog.acceptMode();
        defaultSuffix = dialog.defaultSuffix();
        selectedFiles = dialog.selectedFiles();
        if (const auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            fileName = name->text();
        }
        nameFilters = dialog.nameFilters();
        confirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
        hasOwner = dialog.parentWidget() != nullptr;
        return path;
    };
}

FileDialogAnswer::~FileDialogAnswer() {
    fileDialogStandIn = nullptr;
}

namespace {

void replace(unsigned char*& buffer, std::size_t& bytes, const std::vector<unsigned char>& from) {
    freeFrameBuffer(buffer, bytes);
    buffer = new unsigned char[from.size()];
    std::memcpy(buffer, from.data(), from.size());
    bytes = from.size();
}

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, unsigned value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

}  // namespace

void setFrame(int width, int height, const std::vector<unsigned char>* gray,
              const std::vector<unsigned char>* rgb, const std::vector<unsigned char>* output) {
    frameWidth = width;
    frameHeight = height;
    if (gray != nullptr) {
        replace(grayFrame, grayFrameBytes, *gray);
    }
    if (rgb != nullptr) {
        replace(rgbFrame, rgbFrameBytes, *rgb);
    }
    if (output != nullptr) {
        replace(outputFrame, outputFrameBytes, *output);
    }
}

std::string bmpBytes(int width, int height, int bitCount,
                     const std::vector<unsigned char>& topDown) {
    const int rowBytes = width * bitCount / 8;
    const int stride = (rowBytes + 3) / 4 * 4;
    const unsigned colours = bitCount == 8 ? 256 : 0;
    const unsigned offset = 54 + 4 * colours;
    std::string out = "BM";
    put32(out, offset + static_cast<unsigned>(stride * height));
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<unsigned>(width));
    put32(out, static_cast<unsigned>(height));
    put16(out, 1);
    put16(out, static_cast<unsigned>(bitCount));
    put32(out, 0);
    put32(out, static_cast<unsigned>(stride * height));
    put32(out, 0);
    put32(out, 0);
    put32(out, colours);
    put32(out, 0);
    for (unsigned i = 0; i < colours; ++i) {
        out += std::string(3, static_cast<char>(i));
        out += '\0';
    }
    for (int r = height - 1; r >= 0; --r) {
        out.append(reinterpret_cast<const char*>(topDown.data()) + r * rowBytes,
                   static_cast<std::size_t>(rowBytes));
        out.append(static_cast<std::size_t>(stride - rowBytes), '\0');
    }
    return out;
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

QImage grabbed(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int countColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
        }
    }
    return count;
}
