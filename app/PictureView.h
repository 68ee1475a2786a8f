// PictureView: a static control with a black frame, the widget behind the two picture
// views. It paints its frame, then lets its owner paint the picture over the whole client
// area; with notify on, it reports a left-button press, the pointer's moves over it (also
// while the button is held, then clamped to the client area) and the release, and holds a
// loupe. A move with the button held is a drag only once the pointer has gone dragStart
// screen pixels from the press: a hand that trembles while clicking drags nothing.
#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>

#include "calib/point.h"

class Loupe;
class QPainter;

class PictureView : public QWidget {
    Q_OBJECT

  public:
    explicit PictureView(QWidget* parent = nullptr);

    static constexpr int dragStart = 3;

    void setNotify(bool on);

    // Paints the picture; called on every paint of the view, after the frame.
    std::function<void(QPainter& painter)> paintContent;

    // The magnifier over this view; hidden until the owner shows it, and when the pointer
    // leaves the view.
    Loupe& loupe() const { return *magnifier; }

    // Whether the view shows the rectified picture, whose frame may have a size of its own.
    bool rectified = false;

    // The size of the frame the view shows: the rectified picture's or the input frame's.
    QSize frameSize() const;
    // Where that frame's pixel p is drawn, and the frame pixel a click at `position` records.
    QPoint shownAt(Point p) const;
    Point pixelAt(QPoint position) const;

    // The keyboard modifiers held at the last press or move over the view.
    Qt::KeyboardModifiers modifiers() const { return keys; }

  signals:
    // The click notification, with the position in the view's client area.
    void clicked(QPoint position);
    // The pointer moved to `position`; `dragging` while the left button is held, from the
    // first move dragStart pixels away from the press on.
    void moved(QPoint position, bool dragging);
    void released();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool notify = false;
    QPoint pressedAt;
    bool dragging = false;
    Qt::KeyboardModifiers keys;
    Loupe* magnifier;
};
