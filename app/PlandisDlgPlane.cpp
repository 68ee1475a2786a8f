// The plane in real units and measuring on it. With plane coordinates typed for the input
// points (Plane coordinates…), the output frame shows a chosen part of the plane at a chosen
// number of units per pixel, and the output list holds where each plane point lands in it.
// Measure distance (D), angle (A) and area (R) take clicks in the Output Image view; Esc
// leaves a tool without closing the dialog. Each measurement is drawn, labelled and listed
// with its ± from the fit (Measurements…), whence it can be copied or saved as CSV.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/PlaneDialog.h"
#include "app/windowServices.h"
#include "calib/pointPicking.h"
#include "frame/frameState.h"
#include "image/atomicFile.h"

namespace {

const FileDialogSettings csvFileDialog = {"csv", "measurements", "CSV (*.csv)|*.csv||"};
const char* const toolNames[] = {"", "distance", "angle", "area"};
const QColor measureColour(255, 220, 0);

QString valueText(const PlandisDlg::MeasuredItem& m) {
    return QString::asprintf("%.3f ± %.3f %s", m.value.value, m.value.plusMinus, m.unit.c_str());
}

}  // namespace

void PlandisDlg::addPlaneCommands() {
    sysMenu->addSeparator();
    sysMenu->addAction(QStringLiteral("Plane coordinates…"), this, &PlandisDlg::OnPlaneCoordinates);
    sysMenu->addAction(QStringLiteral("Measure distance"), this,
                       [this] { startTool(Tool::distance); });
    sysMenu->addAction(QStringLiteral("Measure angle"), this, [this] { startTool(Tool::angle); });
    sysMenu->addAction(QStringLiteral("Measure area"), this, [this] { startTool(Tool::area); });
    sysMenu->addAction(QStringLiteral("Measurements…"), this, &PlandisDlg::showMeasurements);
}

void PlandisDlg::OnPlaneCoordinates() {
    QStringList rows;
    for (int i = 0; i < listCount(*inputPointList); ++i) {
        rows << QString::fromStdString(listText(*inputPointList, i));
    }
    PlaneDialog dialog(this, rows, plane, chartGrid);
    while (dialog.exec() == QDialog::Accepted) {
        QString problem;
        if (const std::optional<PlaneUnits> typed = dialog.plane(problem)) {
            const PlaneUnits before = std::exchange(plane, *typed);
            // Laid out once here, so that a plane that cannot be is refused, not taken.
            const std::vector<Point> input = listedPoints(*inputPointList);
            const QString refused = plane.unit.empty() ? QString() : estimate(input, {}).problem;
            if (refused.isEmpty()) {
                measurements.clear();
                if (plane.unit.empty() && !before.unit.empty()) {
                    outputWidth = outputHeight = outputHorizon = 0;
                    clearList(*outputPointList);  // its rows were the plane's, not clicks
                }
                followPoints();
                refreshViews();
                return;
            }
            plane = before;
            problem = "The plane cannot be shown: " + refused + ".";
        }
        messageBox(this, problem);
    }
}

PlandisDlg::Estimate PlandisDlg::estimate(std::span<const Point> input,
                                          std::span<const Point> output) const {
    Estimate e;
    const QSize frame = calibrationFrame();
    const bool lens = lensToggle->isChecked();
    if (!plane.unit.empty()) {
        if (plane.points.size() != input.size()) {
            e.fit.homography.fault = PointSetFault::wrongCount;
            return e;
        }
        const PlaneCalibration c =
            calibratePlane(input, plane, straightLines, lens, frame.width(), frame.height());
        e.problem = QString::fromStdString(c.problem);
        e.fit.homography.fault = c.problem.empty() ? PointSetFault::none : PointSetFault::unstable;
        e.fit.homography.H = c.H;
        e.fit.homography.inverse = c.inverse;
        e.fit.lens = c.lens;
        e.fit.errors = c.errors;
        e.fit.tooLittleEvidence = c.tooLittleEvidence;
        e.fit.lineRms = c.lineRms;
        e.layout = c.layout;
        e.horizon = c.horizon;
        e.output = c.output;
        return e;
    }
    e.fit = estimateFit(input, output, straightLines, lens, frame.width(), frame.height());
    return e;
}

// With a plane the output frame takes the layout's size and the output list the plane
// points' places in it; without, the input frame's size.
void PlandisDlg::showPlane(const Estimate& e) {
    if (plane.unit.empty()) {
        outputWidth = outputHeight = outputHorizon = 0;
        return;
    }
    outputLayout = e.layout;
    outputWidth = e.layout.width;
    outputHeight = e.layout.height;
    outputHorizon = e.horizon;
    listReset(*outputPointList);
    for (Point p : e.output) {
        listAppend(*outputPointList, formatRefined(p));
    }
}

// The plane as the measuring tools see it: the typed one, or without one the output frame's
// pixels themselves.
PlaneUnits PlandisDlg::measuredPlane() const {
    if (!plane.unit.empty()) {
        return plane;
    }
    PlaneUnits pixels;
    pixels.unit = "px";
    for (int i = 0; i < listCount(*outputPointList); ++i) {
        Point p{0, 0};
        parsePoint(listText(*outputPointList, i), p);
        pixels.points.push_back(p);
    }
    pixels.extent = PlaneExtent::rectangle;
    pixels.rectangle = {0, 0, double(std::max(frameWidth - 1, 1)),
                        double(std::max(frameHeight - 1, 1))};
    return pixels;
}

void PlandisDlg::startTool(Tool chosen) {
    if (calibrationOn == 0) {
        messageBox(this, QStringLiteral("Measuring needs a calibration: turn Calibration on."));
        return;
    }
    tool = chosen;
    toolPoints.clear();
    outputView->setCursor(Qt::CrossCursor);
    refreshViews();
}

void PlandisDlg::endTool() {
    tool = Tool::none;
    toolPoints.clear();
    outputView->unsetCursor();
    refreshViews();
}

bool PlandisDlg::measureKey(const QKeyEvent& event) {
    if (event.modifiers() == Qt::NoModifier) {
        switch (event.key()) {
            case Qt::Key_D:
                return startTool(Tool::distance), true;
            case Qt::Key_A:
                return startTool(Tool::angle), true;
            case Qt::Key_R:
                return startTool(Tool::area), true;
            default:
                break;
        }
    }
    if (tool == Tool::area && (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)) {
        finishMeasurement();
        return true;
    }
    if (event.key() == Qt::Key_Escape && tool != Tool::none) {
        endTool();
        return true;
    }
    return false;
}

void PlandisDlg::addToolPoint(QPoint position) {
    toolPoints.push_back(outputView->pixelAt(position));
    const std::size_t needed = tool == Tool::distance ? 2 : tool == Tool::angle ? 3 : 0;
    if (toolPoints.size() == needed) {
        finishMeasurement();
    }
    refreshViews();
}

// The points clicked (output pixels) are taken back to the input frame through H and the
// lens, where the fit's uncertainty lives, and measured on the plane.
void PlandisDlg::finishMeasurement() {
    const std::vector<Point> input = listedPoints(*inputPointList);
    const PlaneUnits measured = measuredPlane();
    const QSize frame = calibrationFrame();
    const PlaneCalibration c = calibratePlane(
        input, measured, straightLines, lensToggle->isChecked(), frame.width(), frame.height());
    if (!c.problem.empty() || (tool == Tool::area && toolPoints.size() < 3)) {
        toolPoints.clear();
        return;
    }
    std::vector<Point> pixels;
    for (Point o : toolPoints) {
        const std::optional<Point> d = deliveredPointOf(c.H, c.lens, o);
        if (!d) {
            toolPoints.clear();
            return;  // a point the camera does not see
        }
        pixels.push_back(*d);
    }
    const PlaneMeasure on(input, straightLines, measured, c);
    MeasuredItem item{tool, toolPoints, {}, measured.unit};
    if (tool == Tool::distance) {
        item.value = on.distance(pixels[0], pixels[1]);
    } else if (tool == Tool::angle) {
        item.value = on.angle(pixels[0], pixels[1], pixels[2]);
        item.unit = "°";
    } else {
        item.value = on.area(pixels);
        item.unit = measured.unit + "²";
    }
    measurements.push_back(item);
    toolPoints.clear();
    if (measurementsTable != nullptr) {
        fillMeasurements();
    }
}

// Each measurement as a yellow polyline (an area closed) labelled with its value, the
// points of the one being clicked, and the pointer's place on the plane in the corner.
void PlandisDlg::drawMeasurements(QPainter& painter) {
    if (outputView->frameSize().isEmpty()) {
        return;
    }
    const auto shown = [this](Point p) { return outputView->shownAt(p); };
    painter.setPen(QPen(measureColour, 1));
    for (const MeasuredItem& m : measurements) {
        drawPath(painter, *outputView, m.points, m.tool == Tool::area);
        // At the middle of the points (the vertex of an angle), kept inside the view.
        QPoint middle = shown(m.points[m.points.size() / 2]);
        if (m.tool == Tool::distance) {
            middle = (shown(m.points[0]) + shown(m.points[1])) / 2;
        }
        const QString label = valueText(m);
        QRect box = painter.fontMetrics().boundingRect(label).translated(middle + QPoint(4, -4));
        box.moveRight(std::min(box.right(), outputView->width() - 2));
        box.moveTop(std::max(box.top(), 2));
        painter.fillRect(box.adjusted(-2, 0, 2, 0), QColor(0, 0, 0, 170));  // legible anywhere
        painter.drawText(box, Qt::AlignLeft, label);
    }
    drawPath(painter, *outputView, toolPoints, false);
    if (calibrationOn != 0 && pointer) {
        const Point o = outputView->pixelAt(*pointer);
        const bool units = !plane.unit.empty();
        const Point at = units ? planePointAt(outputLayout, plane.scale, o) : o;
        painter.drawText(QPoint(4, 14), QString::asprintf("%.2f, %.2f %s", at.x, at.y,
                                                          units ? plane.unit.c_str() : "px"));
    }
}

void PlandisDlg::showMeasurements() {
    if (measurementsTable == nullptr) {
        auto* window = new QDialog(this);
        window->setWindowTitle(QStringLiteral("Measurements"));
        measurementsTable = new QTableWidget(0, 4, window);
        measurementsTable->setHorizontalHeaderLabels({QStringLiteral("Measure"),
                                                      QStringLiteral("Value"), QStringLiteral("±"),
                                                      QStringLiteral("Unit")});
        measurementsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        auto* buttons = new QDialogButtonBox(window);
        connect(buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole),
                &QPushButton::clicked, this,
                [this] { QGuiApplication::clipboard()->setText(measurementsText('\t')); });
        connect(buttons->addButton(QStringLiteral("Export CSV…"), QDialogButtonBox::ActionRole),
                &QPushButton::clicked, this, &PlandisDlg::exportMeasurements);
        connect(buttons->addButton(QStringLiteral("Clear"), QDialogButtonBox::ResetRole),
                &QPushButton::clicked, this, [this] {
                    measurements.clear();
                    fillMeasurements();
                    refreshViews();
                });
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(measurementsTable);
        layout->addWidget(buttons);
        window->resize(420, 260);
    }
    fillMeasurements();
    measurementsTable->window()->show();
    measurementsTable->window()->raise();
}

void PlandisDlg::fillMeasurements() {
    measurementsTable->setRowCount(int(measurements.size()));
    for (std::size_t i = 0; i < measurements.size(); ++i) {
        const MeasuredItem& m = measurements[i];
        const QString cells[] = {
            QString::fromLatin1(toolNames[int(m.tool)]), QString::number(m.value.value, 'f', 3),
            QString::number(m.value.plusMinus, 'f', 3), QString::fromStdString(m.unit)};
        for (int c = 0; c < 4; ++c) {
            measurementsTable->setItem(int(i), c, new QTableWidgetItem(cells[c]));
        }
    }
}

// A header line, then a line a measurement: measure, value, ±, unit. Numbers with a point
// whatever the locale, to full precision.
QString PlandisDlg::measurementsText(char separator) const {
    const QString s(separator);
    QString text = "measure" + s + "value" + s + "plusMinus" + s + "unit\n";
    for (const MeasuredItem& m : measurements) {
        text += QString::fromLatin1(toolNames[int(m.tool)]) + s +
                QString::number(m.value.value, 'g', 17) + s +
                QString::number(m.value.plusMinus, 'g', 17) + s + QString::fromStdString(m.unit) +
                "\n";
    }
    return text;
}

void PlandisDlg::exportMeasurements() {
    if (const std::optional<std::string> path = fileDialog(FileDialogKind::save, csvFileDialog)) {
        const QByteArray text = measurementsText(',').toUtf8();
        if (!writeFileAtomically(path->c_str(), [&](int fd) {
                return writeAll(fd, text.constData(), std::size_t(text.size()));
            })) {
            messageBox(this, QString::fromUtf8("파일을 저장할 수 없습니다."));
        }
    }
}
