// What the dialog capture tests share: a clean shared state and a widget's pixels.
#pragma once

#include <QImage>
#include <QWidget>

#include "tests/support/sharedStateReset.h"

// Pixels of a widget as it paints itself.
inline QImage grabbed(QWidget& widget) {
    return widget.grab().toImage();
}
