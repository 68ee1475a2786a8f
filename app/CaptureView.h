// CaptureView: the capture window on screen. A child of the dialog at the capture
// window's place, it shows the window's preview picture and owns the preview timer of the
// dialog's event loop, which pulls the newest frame every previewRate() milliseconds and
// so hands frames to the frame callback on the dialog's thread, one at a time.
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

class CaptureWindow;

class CaptureView : public QWidget {
    Q_OBJECT

  signals:
    // A frame went through the frame callback: the views that show it are to be repainted.
    void frameArrived();

  public:
    // current names the dialog's capture window of the moment (or none); the view follows
    // it as Start Capture replaces one window by the next. stopped is called once when the
    // window's source fails.
    CaptureView(QWidget* parent, std::function<CaptureWindow*()> current,
                std::function<void()> stopped);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void previewTick();

    std::function<CaptureWindow*()> current;
    std::function<void()> stopped;
    QTimer timer;
};
