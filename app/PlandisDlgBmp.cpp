// Load BMP and Save BMP.
#include <optional>
#include <string>

#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "frame/frameState.h"
#include "image/Image.h"
#include "image/ImageDecode.h"

namespace {

const FileDialogSettings bmpFileDialog = {
    "bmp",
    "test",
    "Image (*.BMP) | *.BMP;*.GIF;*.JPG | All Files(*.*)|*.*||",
};
// Load BMP also offers every kind of picture it reads.
const FileDialogSettings pictureFileDialog = {
    bmpFileDialog.defaultExtension,
    bmpFileDialog.initialName,
    "Image (*.BMP) | *.BMP;*.GIF;*.JPG | Pictures (*.bmp *.png *.jpg *.jpeg *.gif)|"
    "*.bmp;*.png;*.jpg;*.jpeg;*.gif| All Files(*.*)|*.*||",
};

}  // namespace

void PlandisDlg::OnLoadBmp() {
    const std::optional<std::string> path = fileDialog(FileDialogKind::open, pictureFileDialog);
    if (!path) {
        return;
    }
    Image image;
    std::string header;
    if (!loadPicture(path->c_str(), image, header)) {
        messageBox(this, QString::fromUtf8("파일을 읽을 수 없습니다."));
        return;
    }
    // The user loaded the picture to look at it: frames of the camera's own size would
    // replace or misshape it. Start Capture brings the camera back with its format.
    OnStopCapture();
    frameWidth = image.width;
    frameHeight = image.height;
    const std::size_t bytes =
        static_cast<std::size_t>(image.rowBytes) * static_cast<std::size_t>(image.height);
    if (image.bitCount == 8) {
        image.getData(grayFrame);
        grayFrameBytes = bytes;
    } else if (image.bitCount == 24) {
        image.getData(rgbFrame);
        rgbFrameBytes = bytes;
        // The input view shows the grey frame first; without it, the loaded colour picture.
        freeFrameBuffer(grayFrame, grayFrameBytes);
    }
    // Buffers of the former size would be read past their end.
    dropMismatchedFrameBuffers();
    rectifyLoadedPicture();
    refreshViews();
    messageBox(this, QString::fromStdString(header));
}

void PlandisDlg::OnSaveBmp() {
    const std::optional<std::string> path = fileDialog(FileDialogKind::save, bmpFileDialog);
    if (!path) {
        return;
    }
    Image image;
    if (!image.create(frameWidth, frameHeight, 8)) {
        messageBox(this, QStringLiteral("Can not create image!"));
        return;
    }
    // Without a grey frame of the current size, the picture that create made is saved:
    // black.
    const unsigned char* grey = currentGrey();
    unsigned char* black = nullptr;
    image.getData(black);
    const bool saved =
        savePicture(path->c_str(), "bmp", grey ? grey : black, frameWidth, frameHeight, 1);
    delete[] black;
    if (!saved) {
        messageBox(this, QString::fromUtf8("파일을 저장할 수 없습니다."));
    }
}
