// The Calibration checkbox: the homography from the clicked point pairs.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "calib/calibrationFile.h"
#include "calib/homography.h"
#include "calib/lensDistortion.h"
#include "calib/pointPicking.h"
#include "calib/pointSet.h"
#include "calib/rectifyPicture.h"
#include "capture/CaptureWindow.h"
#include "capture/framePipeline.h"
#include "frame/frameState.h"
#include "image/ImageDecode.h"

namespace {

const FileDialogSettings calibrationFileDialog = {
    "json",
    "calibration",
    "Calibration (*.json)|*.json|All Files(*.*)|*.*||",
};
const FileDialogSettings rectifiedFileDialog = {
    "bmp",
    "rectified",
    "Image (*.BMP;*.PNG)|*.BMP;*.PNG|All Files(*.*)|*.*||",
};

// Why the points cannot be used, as the user is told: a plane that cannot be laid out says
// why; lists of four or more points that differ in length are told apart from too few points.
QString refusal(const PlandisDlg::Estimate& e, std::size_t inputs, std::size_t outputs) {
    if (!e.problem.isEmpty()) {
        return "The plane cannot be shown: " + e.problem + ".";
    }
    const PointSetFault fault = e.fit.homography.fault;
    if (fault == PointSetFault::wrongCount && std::min(inputs, outputs) >= 4) {
        return QString::fromUtf8(
                   "입력 영상과 출력 영상의 점 개수가 같아야 합니다. (입력 %1개, 출력 %2개)")
            .arg(inputs)
            .arg(outputs);
    }
    if (fault == PointSetFault::wrongCount) {
        return QString::fromUtf8("입력 영상과 출력 영상에 점을 4개씩 찍어야 합니다.");
    }
    if (fault == PointSetFault::unstable) {
        return QString::fromUtf8("이 점들로는 호모그래피를 계산할 수 없습니다.");
    }
    return QString::fromUtf8("두 점이 겹치거나 세 점이 한 직선 위에 있어 보정할 수 없습니다.");
}

}  // namespace

std::vector<Point> listedPoints(const QListWidget& list) {
    std::vector<Point> points;
    for (int i = 0; i < listCount(list); ++i) {
        Point p{0, 0};
        if (!parsePoint(listText(list, i), p)) {
            return {};
        }
        points.push_back(p);
    }
    return points;
}

namespace {

// The fit in input-frame pixels, in two rows that the homography list shows whole: the root
// mean square, then the largest error and the pair (from 1) that fits worst.
void appendFit(QListWidget& list, const Fit& fit) {
    char text[1024];
    std::snprintf(text, sizeof text, "RMS %.3f px", fit.rms);
    listAppend(list, text);
    std::snprintf(text, sizeof text, "max %.3f px (pair %zu)", fit.largest, fit.worst + 1);
    listAppend(list, text);
}

}  // namespace

// Turning calibration on needs usable pairs: otherwise the box goes back to unchecked and
// nothing changes but a message. Turning it off always stops the warp; the homography is
// estimated again only from usable points, silently.
void PlandisDlg::OnCalibration() {
    refreshViews();  // the segments appear or go, also with no frame arriving
    notePointsFrame();
    const int checked = checkState(*calibrationBox);
    if (checked != 0 && !pointsFitFrame()) {
        return;
    }
    const std::vector<Point> input = listedPoints(*inputPointList);
    const std::vector<Point> output = listedPoints(*outputPointList);
    const Estimate e = estimate(input, output);
    const PointSetFault fault = e.fit.homography.fault;
    if (checked == 0) {
        calibrationOn = 0;
        if (fault != PointSetFault::none) {
            return;
        }
    } else if (fault != PointSetFault::none) {
        calibrationBox->setChecked(false);
        calibrationOn = 0;
        messageBox(this, refusal(e, input.size(), output.size()));
        return;
    } else {
        calibrationOn = 1;
    }
    showHomography(e, output);
    rectifyLoadedPicture();
}

// Points that cannot define a homography leave the last one warping, silently, but no fit
// of pairs the lists no longer hold stays: lists of different lengths show their lengths.
void PlandisDlg::followPoints() {
    notePointsFrame();
    if (calibrationOn == 0) {
        return;
    }
    const std::vector<Point> input = listedPoints(*inputPointList);
    const std::vector<Point> output = listedPoints(*outputPointList);
    const Estimate e = estimate(input, output);
    if (e.fit.homography.fault == PointSetFault::none) {
        showHomography(e, output);
        rectifyLoadedPicture();
        return;
    }
    while (listCount(*homographyList) > 3) {
        delete homographyList->takeItem(3);
    }
    const int inputs = listCount(*inputPointList), outputs = listCount(*outputPointList);
    if (inputs != outputs) {
        listAppend(*homographyList,
                   QString::fromUtf8("입력 %1, 출력 %2").arg(inputs).arg(outputs).toStdString());
    }
}

void PlandisDlg::notePointsFrame() {
    if (listCount(*inputPointList) + listCount(*outputPointList) == 0) {
        pointsFrame = {};
    } else if (pointsFrame.isEmpty()) {
        pointsFrame = QSize(frameWidth, frameHeight);
    }
}

QSize PlandisDlg::calibrationFrame() const {
    return pointsFrame.isEmpty() ? QSize(frameWidth, frameHeight) : pointsFrame;
}

bool PlandisDlg::pointsFitFrame() {
    if (pointsFrame.isEmpty() || pointsFrame == QSize(frameWidth, frameHeight)) {
        return true;
    }
    calibrationBox->setChecked(false);
    calibrationOn = 0;
    messageBox(this, QString::fromUtf8("점을 찍은 영상의 크기(%1 x %2)와 지금 영상의 크기(%3 x "
                                       "%4)가 달라 보정할 수 없습니다.")
                         .arg(pointsFrame.width())
                         .arg(pointsFrame.height())
                         .arg(frameWidth)
                         .arg(frameHeight));
    return false;
}

// Four pairs show the three rows of H; more add how well H (and the lens) fits them.
void PlandisDlg::showHomography(const Estimate& e, std::span<const Point> output) {
    homography = e.fit.homography.H;
    homographyInverse = e.fit.homography.inverse;
    toTable(homography, homographyTable);
    lensTable = radialTableOf(e.fit.lens);
    showPlane(e);
    listReset(*homographyList);
    for (int r = 1; r <= 3; ++r) {
        char row[1024];  // room for three of the longest "%f" texts
        std::snprintf(row, sizeof row, "%f %f %f", homography(r, 1), homography(r, 2),
                      homography(r, 3));
        listAppend(*homographyList, row);
    }
    if (output.size() > 4) {
        appendFit(*homographyList, fitOf(e.fit.errors));
    }
    appendLens(e.fit);
}

void PlandisDlg::addCalibrationCommands() {
    sysMenu->addSeparator();
    sysMenu->addAction(QStringLiteral("Save calibration…"), this, &PlandisDlg::OnSaveCalibration);
    sysMenu->addAction(QStringLiteral("Load calibration…"), this, &PlandisDlg::OnLoadCalibration);
    sysMenu->addAction(QStringLiteral("Copy homography"), this, &PlandisDlg::OnCopyHomography);
    sysMenu->addAction(QStringLiteral("Save rectified picture…"), this,
                       &PlandisDlg::OnSaveRectifiedPicture);
}

void PlandisDlg::OnSaveCalibration() {
    // The points' own frame: a picture of another size shown since does not change it.
    const QSize frame = calibrationFrame();
    Calibration calibration{frame.width(), frame.height(), listedPoints(*inputPointList),
                            listedPoints(*outputPointList)};
    const Estimate e = estimate(calibration.input, calibration.output);
    if (e.fit.homography.fault != PointSetFault::none) {
        messageBox(this, refusal(e, calibration.input.size(), calibration.output.size()));
        return;
    }
    if (!plane.unit.empty()) {
        calibration.output = e.output;
        calibration.plane = plane;
        calibration.layout = e.layout;
    }
    const auto outside = [&frame](const std::vector<Point>& points) {
        return std::any_of(points.begin(), points.end(), [&frame](Point p) {
            return p.x < 0 || p.y < 0 || p.x >= frame.width() || p.y >= frame.height();
        });
    };
    if (outside(calibration.input) || (plane.unit.empty() && outside(calibration.output))) {
        messageBox(this, QStringLiteral("The calibration cannot be saved: a point lies outside "
                                        "the frame, or no frame size is known yet."));
        return;
    }
    const std::optional<std::string> path = fileDialog(FileDialogKind::save, calibrationFileDialog);
    calibration.H = e.fit.homography.H;
    calibration.inverse = e.fit.homography.inverse;
    calibration.lens = e.fit.lens;
    calibration.lines = straightLines;
    if (path && !saveCalibration(path->c_str(), calibration)) {
        messageBox(this, QString::fromUtf8("파일을 저장할 수 없습니다."));
    }
}

void PlandisDlg::OnLoadCalibration() {
    if (const std::optional<std::string> path =
            fileDialog(FileDialogKind::open, calibrationFileDialog)) {
        loadCalibrationFile(*path);
    }
}

// The file's point lists, then what the Calibration checkbox does when it is checked.
void PlandisDlg::loadCalibrationFile(const std::string& path) {
    Calibration calibration;
    const std::string problem = loadCalibration(path.c_str(), calibration);
    if (!problem.empty()) {
        messageBox(this,
                   QString::fromStdString("The calibration cannot be loaded: " + problem + "."));
        return;
    }
    if (frameWidth > 0 &&
        (frameWidth != calibration.frameWidth || frameHeight != calibration.frameHeight)) {
        messageBox(this, QStringLiteral("The calibration is for a %1 x %2 frame, but the "
                                        "current frame is %3 x %4.")
                             .arg(calibration.frameWidth)
                             .arg(calibration.frameHeight)
                             .arg(frameWidth)
                             .arg(frameHeight));
        return;
    }
    frameWidth = calibration.frameWidth;
    frameHeight = calibration.frameHeight;
    PointLists before = pointLists();  // one undo step: the points it replaced come back
    listReset(*inputPointList);
    listReset(*outputPointList);
    for (std::size_t i = 0; i < calibration.input.size(); ++i) {
        listAppend(*inputPointList, formatPoint(calibration.input[i]));
        listAppend(*outputPointList, formatPoint(calibration.output[i]));
    }
    recordStep(std::move(before));
    endStraightLine();
    straightLines = calibration.lines;
    plane = calibration.plane;
    measurements.clear();
    const QSignalBlocker quiet(lensToggle);  // OnCalibration below estimates once
    lensToggle->setChecked(!calibration.lens.none());
    pointsFrame = QSize(calibration.frameWidth, calibration.frameHeight);
    // Start Capture asks the camera for the calibration's size, unless --size named one.
    if (!captureChoice.sizeGiven) {
        captureChoice.mode.width = calibration.frameWidth;
        captureChoice.mode.height = calibration.frameHeight;
    }
    calibrationBox->setChecked(true);
    OnCalibration();
}

// Three lines of three tab-separated numbers, each reading back to the same double: a
// spreadsheet pastes them into a 3 × 3 block, numpy.loadtxt reads them as they are.
void PlandisDlg::OnCopyHomography() {
    if (listCount(*homographyList) == 0) {
        messageBox(this, QStringLiteral("There is no homography yet: turn Calibration on."));
        return;
    }
    QString text;
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            text += QString::number(homography(r, c), 'g', 17) + (c < 3 ? "\t" : "\n");
        }
    }
    QGuiApplication::clipboard()->setText(text);
}

// While calibration is on and no camera delivers frames, the loaded picture is warped as a
// camera frame would be: its grey frame, or the grey of its colour frame. A picture of
// another size than the points' turns calibration off.
void PlandisDlg::rectifyLoadedPicture() {
    const bool cameraRuns = captureWindow != nullptr && captureWindow->previewing();
    if (calibrationOn == 0 || !pointsFitFrame() || cameraRuns) {
        return;
    }
    if (rectifyCurrentPicture()) {
        update();
    }
}

// The output frame as an 8-bit BMP, or as a PNG when the name ends in .png.
void PlandisDlg::OnSaveRectifiedPicture() {
    if (calibrationOn == 0 || !holdsOutputFrame()) {
        messageBox(this, QStringLiteral("There is no rectified picture yet: turn Calibration on."));
        return;
    }
    const std::optional<std::string> path = fileDialog(FileDialogKind::save, rectifiedFileDialog);
    if (!path) {
        return;
    }
    const bool png =
        QString::fromStdString(*path).endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
    const bool saved = savePicture(path->c_str(), png ? "png" : "bmp", outputFrame,
                                   outputFrameWidth(), outputFrameHeight(), 1);
    if (!saved) {
        messageBox(this, QString::fromUtf8("파일을 저장할 수 없습니다."));
    }
}
