// Loupe: a magnifier over a picture view. It shows the frame pixels around the one a click
// would record, each as a square of `zoom` screen pixels, outlines that pixel and prints its
// "x,y" beneath. While a click would snap to a corner, it marks the sub-pixel place the
// click records and prints that, or says that no corner is near. It sits in the view's corner
// across from the pointer, so it never hides the place being picked, and it reads the frame when it
// paints: nothing is scaled per move.
#pragma once

#include <QRgb>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

#include "calib/homography.h"

class Loupe : public QWidget {
  public:
    static constexpr int reach = 5;  // frame pixels shown on each side of the centre
    static constexpr int zoom = 8;   // screen pixels per frame pixel
    static constexpr QRgb markColour = qRgb(255, 0, 255);
    static constexpr QRgb snapColour = qRgb(0, 255, 0);

    explicit Loupe(QWidget* view);

    // The colour a frame pixel has in the view, or nothing outside the frame or while the
    // view shows no picture.
    std::function<std::optional<QRgb>(Point)> framePixel;

    // Shows the pixels around `centre` for a pointer at `pointer` in the view; hides the
    // loupe when the view shows no picture there. `snapping` while a click there would snap,
    // to `corner` or, with none near, to nothing.
    void showAround(Point centre, QPoint pointer, bool snapping = false,
                    std::optional<Point> corner = std::nullopt);

    // The printed coordinates: "x,y", the corner's "x.xx,y.yy", or "x,y (no corner)".
    QString text() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Point centre{0, 0};
    bool snapping = false;
    std::optional<Point> corner;
};
