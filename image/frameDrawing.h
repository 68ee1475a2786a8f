// Drawing a frame into a view, read where it lies: packed rows, top line first, no padding,
// of 8-bit grey levels or 24-bit blue, green, red. The frame is scaled by whole pixels into
// an off-screen surface of the target rectangle's size, which is then copied to the target
// unscaled: target pixel (x + tx, y + ty) shows frame pixel (tx × width / w, ty × height / h),
// integer division, so nothing is blended and the mapping does not depend on the painter's
// own sampling. The header needs no toolkit; the drawing itself is Qt's (frameDrawing.cpp).
#pragma once

#include <memory>

class QPainter;

class FrameDrawing {
  public:
    FrameDrawing();
    ~FrameDrawing();
    FrameDrawing(const FrameDrawing&) = delete;
    FrameDrawing& operator=(const FrameDrawing&) = delete;

    // Draws the whole frame over (x, y, w, h) of the target. Draws nothing for a null frame,
    // a size or rectangle <= 0, or a bit count other than 8 and 24. The surface is kept
    // between frames and made again only when the rectangle or the frame's geometry changes.
    void draw(QPainter& target, const unsigned char* frame, int width, int height, int bitCount,
              int x, int y, int w, int h);

    struct Surface;  // the scaled picture and the column offsets; defined with the drawing

  private:
    std::unique_ptr<Surface> surface;
};
