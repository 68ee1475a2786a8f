// Closing keeps the work: when the dialog closes with points in a list, both lists are kept
// in the user's state folder, and the menu's Restore last points brings them back as one
// undo step. The program itself always starts with empty lists.
#include <QMenu>

#include <string>
#include <utility>
#include <vector>

#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "calib/lastPoints.h"
#include "frame/frameState.h"

namespace {

std::vector<std::string> entries(const QStringList& list) {
    std::vector<std::string> texts;
    for (const QString& text : list) {
        texts.push_back(text.toStdString());
    }
    return texts;
}

QStringList entries(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list << QString::fromStdString(text);
    }
    return list;
}

}  // namespace

void PlandisDlg::addLastPointsCommands() {
    sysMenu->addSeparator();
    sysMenu->addAction(QStringLiteral("Restore last points"), this,
                       &PlandisDlg::OnRestoreLastPoints);
    // Enter, Esc, the close item and the window's close button all end here.
    connect(this, &QDialog::finished, this, &PlandisDlg::keepLastPoints);
}

void PlandisDlg::keepLastPoints() {
    const PointLists lists = pointLists();
    if (lists.input.isEmpty() && lists.output.isEmpty()) {
        return;  // the points kept before stay
    }
    if (!saveLastPoints({entries(lists.input), entries(lists.output), captureChoice.source,
                         frameWidth, frameHeight})) {
        messageBox(this, QStringLiteral("The points could not be kept in %1.")
                             .arg(QString::fromStdString(lastPointsPath())));
    }
}

// Points belong to their frame size, as a calibration does: those of another size are
// refused, not restored to places they were not picked on.
void PlandisDlg::OnRestoreLastPoints() {
    std::string problem;
    const std::optional<LastPoints> last = loadLastPoints(problem);
    if (!last) {
        messageBox(this, problem.empty()
                             ? QStringLiteral("No points have been kept yet: they are kept when "
                                              "the dialog closes with points in a list.")
                             : QString::fromStdString(
                                   "The last points cannot be restored: " + problem + "."));
        return;
    }
    if (frameWidth > 0 && last->frameWidth > 0 &&
        (last->frameWidth != frameWidth || last->frameHeight != frameHeight)) {
        messageBox(this, QStringLiteral("The last points are for a %1 x %2 frame, but the "
                                        "current frame is %3 x %4.")
                             .arg(last->frameWidth)
                             .arg(last->frameHeight)
                             .arg(frameWidth)
                             .arg(frameHeight));
        return;
    }
    PointLists before = pointLists();
    if (last->frameWidth > 0) {
        pointsFrame = QSize(last->frameWidth, last->frameHeight);
    }
    restorePointLists({entries(last->input), entries(last->output)});
    recordStep(std::move(before));
}
