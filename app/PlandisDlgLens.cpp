// Lens distortion: the menu's toggle that estimates it together with H, and straight lines
// clicked along edges in the scene as further evidence for it. A line is clicked point by
// point in the Input Image view after Add straight line (key L); Esc ends it.
#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPainter>

#include <cstdio>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "calib/pointPicking.h"
#include "frame/frameState.h"

void PlandisDlg::addLensCommands() {
    sysMenu->addSeparator();
    lensToggle = sysMenu->addAction(QStringLiteral("Correct lens distortion"));
    lensToggle->setCheckable(true);
    connect(lensToggle, &QAction::toggled, this, [this] {
        followPoints();
        refreshViews();
    });
    sysMenu->addAction(QStringLiteral("Add straight line"), this, &PlandisDlg::OnAddStraightLine);
    sysMenu->addAction(QStringLiteral("Clear straight lines"), this, [this] {
        straightLines.clear();
        endStraightLine();
        followPoints();
        refreshViews();
    });
}

void PlandisDlg::OnAddStraightLine() {
    if (addingLine && straightLines.back().empty()) {
        return;  // the line just begun stays the one clicked
    }
    straightLines.emplace_back();
    addingLine = true;
    inputView->setCursor(Qt::CrossCursor);
}

void PlandisDlg::endStraightLine() {
    addingLine = false;
    inputView->unsetCursor();
    if (!straightLines.empty() && straightLines.back().empty()) {
        straightLines.pop_back();
    }
}

bool PlandisDlg::lensKey(const QKeyEvent& event) {
    if (event.key() == Qt::Key_L && event.modifiers() == Qt::NoModifier) {
        OnAddStraightLine();
        return true;
    }
    if (event.key() == Qt::Key_Escape && addingLine) {
        endStraightLine();
        refreshViews();
        return true;
    }
    return false;
}

void PlandisDlg::addLinePoint(QPoint position) {
    straightLines.back().push_back(inputView->pixelAt(position));
    followPoints();
    refreshViews();
}

// With the toggle on, a row for the lens under the fit: its terms and how far it moves a
// frame corner, or what it still needs; and how straight the lines came out.
void PlandisDlg::appendLens(const LensEstimate& e) {
    if (!lensToggle->isChecked()) {
        return;
    }
    char text[256];
    if (e.tooLittleEvidence) {
        listAppend(*homographyList, "lens: 8 pairs or a straight line of 3 points needed");
        return;
    }
    if (e.lens.k2 != 0.0) {
        std::snprintf(text, sizeof text, "k %.3f %.3f, corner shift %.1f px", e.lens.k1, e.lens.k2,
                      cornerShift(e.lens));
    } else {
        std::snprintf(text, sizeof text, "k %.3f, corner shift %.1f px", e.lens.k1,
                      cornerShift(e.lens));
    }
    listAppend(*homographyList, text);
    if (e.lineRms > 0.0) {
        std::snprintf(text, sizeof text, "lines RMS %.3f px", e.lineRms);
        listAppend(*homographyList, text);
    }
}

// Each straight line as a cyan polyline through its points, on the frame's pixels.
void PlandisDlg::drawStraightLines(QPainter& painter) {
    if (frameWidth <= 0 || frameHeight <= 0) {
        return;
    }
    painter.setPen(QPen(QColor(0, 200, 255), 1));
    for (const StraightLine& line : straightLines) {
        drawPath(painter, *inputView, line, false);
    }
}
