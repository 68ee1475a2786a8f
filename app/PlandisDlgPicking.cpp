// Point editing in the picture views: a click adds a point, a drag that starts on a point
// moves it, keys nudge or delete the picked point, Ctrl+Z and Ctrl+Shift+Z step through the
// changes. The loupe shows the frame pixel a click would record.
#include <QKeyEvent>
#include <QListWidget>

#include <utility>

#include "app/Loupe.h"
#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/windowServices.h"
#include "calib/pointPicking.h"
#include "frame/frameState.h"

namespace {

// How far from a point, in screen pixels, a press may start a drag of it.
constexpr int pickReach = 6;

// The entry of `list` drawn nearest to `position` within reach (the later of equals, which
// is drawn on top), or -1.
int pointNear(const PictureView& view, const QListWidget& list, QPoint position) {
    if (view.frameSize().isEmpty()) {
        return -1;  // no picture to place the points on
    }
    int nearest = -1;
    int best = pickReach * pickReach;
    for (int i = 0; i < listCount(list); ++i) {
        const std::optional<QPoint> at = PlandisDlg::entryOnView(view, list, i);
        if (!at) {
            continue;
        }
        const QPoint d = *at - position;
        if (d.x() * d.x() + d.y() * d.y() <= best) {
            best = d.x() * d.x() + d.y() * d.y();
            nearest = i;
        }
    }
    return nearest;
}

}  // namespace

void PlandisDlg::OnInputViewClicked(QPoint position) {
    if (addingLine) {
        addLinePoint(position);
        return;
    }
    pressView(*inputView, position, *inputPointList);
}

void PlandisDlg::OnOutputViewClicked(QPoint position) {
    if (tool != Tool::none) {
        addToolPoint(position);
        return;
    }
    if (!plane.unit.empty()) {
        return;  // the plane's coordinates place its output points
    }
    pressView(*outputView, position, *outputPointList);
}

// The frame pixel under the click, scaled from the view's client area to the frame, or the
// corner it snaps to.
void PlandisDlg::addClickedPoint(const PictureView& view, QPoint position, QListWidget& list) {
    const Point pixel = view.pixelAt(position);
    const std::optional<Point> corner = snaps(view) ? cornerNear(pixel) : std::nullopt;
    listAppend(list, corner ? formatRefined(*corner) : formatPoint(pixel));
    followPoints();
    refreshViews();
}

PlandisDlg::PointLists PlandisDlg::pointLists() const {
    PointLists lists;
    for (int i = 0; i < listCount(*inputPointList); ++i) {
        lists.input << QString::fromStdString(listText(*inputPointList, i));
    }
    for (int i = 0; i < listCount(*outputPointList); ++i) {
        lists.output << QString::fromStdString(listText(*outputPointList, i));
    }
    return lists;
}

void PlandisDlg::restorePointLists(const PointLists& lists) {
    listReset(*inputPointList);
    listReset(*outputPointList);
    inputPointList->addItems(lists.input);
    outputPointList->addItems(lists.output);
    followPoints();
    refreshViews();
}

// A change is one undo step, and no step to redo follows it any more.
void PlandisDlg::recordStep(PointLists before) {
    if (before == pointLists()) {
        return;
    }
    undoSteps.push_back(std::move(before));
    redoSteps.clear();
}

// A press on a point picks it for a drag but adds only once released in place, so that two
// points closer on screen than the reach can both be clicked.
void PlandisDlg::pressView(const PictureView& view, QPoint position, QListWidget& list) {
    atPress = pointLists();
    pickedList = &list;
    pickedIndex = pointNear(view, list, position);
    if (pickedIndex < 0) {
        addClickedPoint(view, position, list);
        pickedIndex = listCount(list) - 1;
    } else {
        addOnRelease = position;
    }
    refreshViews();  // the picked point's frame
}

// Dragging moves the picked point to the pixel under the pointer, never snapped; the loupe
// shows that pixel whether the button is held or not, and while not dragging the corner a
// click would snap to.
void PlandisDlg::moveOverView(PictureView& view, QPoint position, bool dragging,
                              QListWidget& list) {
    const Point pixel = view.pixelAt(position);
    if (dragging && atPress && pickedList == &list && picked() >= 0) {
        addOnRelease.reset();
        setPoint(list, picked(), formatPoint(pixel));
    }
    const bool snapping = !dragging && snaps(view);
    view.loupe().showAround(pixel, position, snapping, snapping ? cornerNear(pixel) : std::nullopt);
}

void PlandisDlg::releaseView(const PictureView& view, QListWidget& list) {
    if (const std::optional<QPoint> at = std::exchange(addOnRelease, std::nullopt)) {
        addClickedPoint(view, *at, list);
        pickedIndex = listCount(list) - 1;
    }
    if (atPress) {
        recordStep(*std::exchange(atPress, std::nullopt));
    }
}

int PlandisDlg::picked() const {
    const bool valid =
        pickedList != nullptr && pickedIndex >= 0 && pickedIndex < listCount(*pickedList);
    return valid ? pickedIndex : -1;
}

void PlandisDlg::setPoint(QListWidget& list, int index, const std::string& entry) {
    const QString text = QString::fromStdString(entry);
    if (list.item(index)->text() != text) {
        list.item(index)->setText(text);
        followPoints();
        refreshViews();
    }
}

// Undo and redo work whatever has the focus; the arrows and Delete act while a point is
// picked (the pressed view has the focus, so the lists keep their own keys otherwise).
// Ctrl+Shift+Z redoes under every keyboard scheme, as does the platform's own redo key.
bool PlandisDlg::pickingKey(const QKeyEvent& event) {
    const bool ctrlZ = event.key() == Qt::Key_Z && (event.modifiers() & Qt::ControlModifier);
    const bool redo = event.matches(QKeySequence::Redo) ||
                      (ctrlZ && event.modifiers() == (Qt::ControlModifier | Qt::ShiftModifier));
    const bool undo = !redo && event.matches(QKeySequence::Undo);
    if (undo || redo) {
        std::vector<PointLists>& from = undo ? undoSteps : redoSteps;
        std::vector<PointLists>& to = undo ? redoSteps : undoSteps;
        if (!from.empty()) {
            to.push_back(pointLists());
            restorePointLists(from.back());
            from.pop_back();
        }
        return true;
    }
    const int index = picked();
    Point p{0, 0};
    bool refined = false;
    if (index < 0 || !parsePoint(listText(*pickedList, index), p, &refined)) {
        return false;
    }
    PointLists before = pointLists();
    switch (event.key()) {
        case Qt::Key_S:
            if (event.modifiers() != Qt::NoModifier || !snapPicked()) {
                return false;
            }
            break;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            delete pickedList->takeItem(index);
            pickedList = nullptr;
            followPoints();
            refreshViews();
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const int dx = (event.key() == Qt::Key_Right) - (event.key() == Qt::Key_Left);
            const int dy = (event.key() == Qt::Key_Down) - (event.key() == Qt::Key_Up);
            const Point to{p.x + dx, p.y + dy};
            // One frame pixel at a time, never off the frame; a refined point keeps its fraction.
            if (frameWidth <= 0 ||
                (to.x >= 0 && to.y >= 0 && to.x < frameWidth && to.y < frameHeight)) {
                setPoint(*pickedList, index, refined ? formatRefined(to) : formatPoint(to));
            }
            break;
        }
        default:
            return false;
    }
    recordStep(std::move(before));
    return true;
}
