// The Calibration checkbox: the homography from the four clicked point pairs.
#include <QCheckBox>
#include <QListWidget>

#include <array>
#include <cstdio>
#include <vector>

#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "calib/homography.h"
#include "calib/pointPicking.h"
#include "calib/pointSet.h"

namespace {

// Why the points cannot be used, as the user is told.
QString refusal(PointSetFault fault) {
    if (fault == PointSetFault::wrongCount) {
        return QString::fromUtf8("입력 영상과 출력 영상에 점을 4개씩 찍어야 합니다.");
    }
    if (fault == PointSetFault::unstable) {
        return QString::fromUtf8("이 점들로는 호모그래피를 계산할 수 없습니다.");
    }
    return QString::fromUtf8("두 점이 겹치거나 세 점이 한 직선 위에 있어 보정할 수 없습니다.");
}

// The points of a list, or nothing when an entry is not in the "%d,%d" form.
std::vector<Point> readPoints(const QListWidget& list) {
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

}  // namespace

// Turning calibration on needs four usable pairs: otherwise the box goes back to unchecked
// and nothing changes but a message. Turning it off always stops the warp; the homography is
// estimated again only from usable points, silently.
void PlandisDlg::OnCalibration() {
    refreshViews();  // the segments appear or go, also with no frame arriving
    const int checked = checkState(*calibrationBox);
    const std::vector<Point> input = readPoints(*inputPointList);
    const std::vector<Point> output = readPoints(*outputPointList);
    const PointSetFault fault = checkPointPairs(input, output);
    if (checked == 0) {
        calibrationOn = 0;
        if (fault != PointSetFault::none) {
            return;
        }
    } else if (fault != PointSetFault::none) {
        calibrationBox->setChecked(false);
        calibrationOn = 0;
        messageBox(this, refusal(fault));
        return;
    } else {
        calibrationOn = 1;
    }

    std::array<Point, 4> inputPoints{};
    std::array<Point, 4> outputPoints{};
    for (std::size_t i = 0; i < 4; ++i) {
        inputPoints[i] = input[i];
        outputPoints[i] = output[i];
    }
    homography = ComputeHomography(outputPoints, inputPoints);
    homographyInverse = linal::inverse(homography);
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            homographyTable[r - 1][c - 1] = homography(r, c);
        }
    }
    listReset(*homographyList);
    for (int r = 1; r <= 3; ++r) {
        char row[1024];  // room for three of the longest "%f" texts
        std::snprintf(row, sizeof row, "%f %f %f", homography(r, 1), homography(r, 2),
                      homography(r, 3));
        listAppend(*homographyList, row);
    }
}
