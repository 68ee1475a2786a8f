// PictureView: a static control with a black frame, the widget behind the two picture
// views. It paints its frame, then lets its owner paint the picture over the whole client
// area; with notify on, a left-button press reports the pressed position.
#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>

class QPainter;

class PictureView : public QWidget {
    Q_OBJECT

  public:
    explicit PictureView(QWidget* parent = nullptr);

    void setNotify(bool on) { notify = on; }

    // Paints the picture; called on every paint of the view, after the frame.
    std::function<void(QPainter& painter)> paintContent;

  signals:
    // The click notification, with the position in the view's client area.
    void clicked(QPoint position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    bool notify = false;
};
