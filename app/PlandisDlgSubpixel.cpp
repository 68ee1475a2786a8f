// Sub-pixel points: a click snapped to the chessboard corner near it (Shift, or always with
// the menu's toggle on), the picked point snapped in place (key S), and Find chart, which
// fills both lists from a printed chessboard found whole in the picture.
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QSettings>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "calib/chessboard.h"
#include "calib/lastPoints.h"
#include "calib/pointPicking.h"
#include "capture/framePipeline.h"
#include "frame/frameState.h"

namespace {

// The dialog's remembered choices, beside the last points in the user's state folder.
QString settingsPath() {
    return QFileInfo(QString::fromStdString(lastPointsPath())).dir().filePath("settings.ini");
}

// The board's cols × rows corners in the finder's order, laid out square in the output
// frame: centred, as large as fits inside a margin of a tenth of the smaller side, on whole
// pixels so that the rows read as clicked ones.
std::vector<Point> chartLayout(int cols, int rows, int width, int height) {
    const int margin = std::min(width, height) / 10;
    const int step = std::max(
        1, std::min((width - 1 - 2 * margin) / (cols - 1), (height - 1 - 2 * margin) / (rows - 1)));
    const int left = (width - 1 - step * (cols - 1)) / 2;
    const int top = (height - 1 - step * (rows - 1)) / 2;
    std::vector<Point> grid;
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < cols; ++i) {
            grid.push_back({double(left + i * step), double(top + j * step)});
        }
    }
    return grid;
}

}  // namespace

void PlandisDlg::addSubpixelCommands() {
    sysMenu->addSeparator();
    QAction* toggle = sysMenu->addAction(QStringLiteral("Snap clicks to corners"));
    toggle->setCheckable(true);
    snapClicks = QSettings(settingsPath(), QSettings::IniFormat).value("snapClicks").toBool();
    toggle->setChecked(snapClicks);
    connect(toggle, &QAction::toggled, this, [this](bool on) {
        snapClicks = on;
        QSettings(settingsPath(), QSettings::IniFormat).setValue("snapClicks", on);
    });
    sysMenu->addAction(QStringLiteral("Find chart…"), this, &PlandisDlg::OnFindChart);
    chartSearch = new QFutureWatcher<std::vector<Point>>(this);
    connect(chartSearch, &QFutureWatcher<std::vector<Point>>::finished, this,
            &PlandisDlg::chartSearched);
}

bool PlandisDlg::snaps(const PictureView& view) const {
    return &view == inputView && (snapClicks || (view.modifiers() & Qt::ShiftModifier));
}

std::optional<Point> PlandisDlg::cornerNear(Point pixel) {
    std::vector<unsigned char> made;
    const unsigned char* grey = currentGreyPicture(made);
    if (grey == nullptr) {
        return std::nullopt;
    }
    return snapToCorner(ConstPlane{grey, frameWidth, frameHeight, frameWidth}, pixel);
}

// The picked input point refined in place, one undo step with the other keys; with no corner
// near it stays and a message says so.
bool PlandisDlg::snapPicked() {
    Point p{0, 0};
    if (pickedList != inputPointList || !parsePoint(listText(*pickedList, picked()), p)) {
        return false;
    }
    if (const std::optional<Point> corner = cornerNear(p)) {
        setPoint(*pickedList, picked(), formatRefined(*corner));
    } else {
        messageBox(
            this, QStringLiteral("There is no chessboard corner near point %1.").arg(picked() + 1));
    }
    return true;
}

// Asks for the board's inner corners, then searches a copy of the current picture off the
// dialog's thread: frames may replace the buffers meanwhile, and the dialog stays live.
void PlandisDlg::OnFindChart() {
    if (chartSearch->isRunning()) {
        return;  // its result comes
    }
    QSettings settings(settingsPath(), QSettings::IniFormat);
    const std::optional<QString> answer =
        textInput(this, QStringLiteral("Inner corners of the chessboard (cols x rows):"),
                  settings.value("chartCorners", QStringLiteral("9 x 6")).toString());
    if (!answer) {
        return;
    }
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("^\\s*(\\d{1,3})\\s*[xX×]\\s*(\\d{1,3})\\s*$"))
            .match(*answer);
    const int cols = size.captured(1).toInt(), rows = size.captured(2).toInt();
    if (!size.hasMatch() || std::min(cols, rows) < 2 || std::max(cols, rows) > 100) {
        messageBox(this, QStringLiteral("The inner corners are given as cols x rows, each from 2 "
                                        "to 100, not \"%1\".")
                             .arg(*answer));
        return;
    }
    chartGrid = QSize(cols, rows);
    settings.setValue("chartCorners", QStringLiteral("%1 x %2").arg(cols).arg(rows));
    std::vector<unsigned char> made;
    const unsigned char* grey = currentGreyPicture(made);
    if (grey == nullptr) {
        messageBox(this, QStringLiteral("There is no picture to find the chart in: Start "
                                        "Capture or Load BMP first."));
        return;
    }
    std::vector<unsigned char> picture(grey, grey + framePixels());
    chartFrame = QSize(frameWidth, frameHeight);
    chartSearch->setFuture(QtConcurrent::run(
        [picture = std::move(picture), w = frameWidth, h = frameHeight, cols, rows] {
            return findChessboard({picture.data(), w, h, w}, cols, rows);
        }));
}

// Both lists replaced as one undo step: the corners as found, the grid they map to.
void PlandisDlg::chartSearched() {
    const std::vector<Point> corners = chartSearch->result();
    if (corners.empty()) {
        messageBox(this, QStringLiteral("chart not found"));
        return;
    }
    if (chartFrame != QSize(frameWidth, frameHeight)) {
        messageBox(this, QStringLiteral("The chart was found, but the frame size changed "
                                        "meanwhile: search again."));
        return;
    }
    const std::vector<Point> grid =
        chartLayout(chartGrid.width(), chartGrid.height(), frameWidth, frameHeight);
    PointLists before = pointLists();
    listReset(*inputPointList);
    listReset(*outputPointList);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        listAppend(*inputPointList, formatRefined(corners[i]));
        listAppend(*outputPointList, formatPoint(grid[i]));
    }
    pointsFrame = chartFrame;
    pickedList = nullptr;
    recordStep(std::move(before));
    followPoints();
    refreshViews();
}
