// How soon the dialog answers a click while a live 4K source runs at 30 fps with calibration
// on, so that every frame it takes is converted and warped on its own thread: the real dialog
// (offscreen) on the real GStreamer capture path. Clicks go into the Input Image view at
// random moments, each timed from its press being posted to the moment its row is in the
// list; then the median, 95th percentile and maximum, the frames shown per second, and the
// frames processed against those the source produced. --table=PATH appends them there.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/CaptureView.h"
#include "app/resource.h"
#include "frame/frameState.h"
#include "bench/liveSource.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kClicks = 100;

long framesShown = 0;  // frames that went through the pipeline to the views

// Runs the event loop, as the program does, for `ms` milliseconds.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void clickAt(QWidget* view, QPointF at) {
    QTest::mouseClick(view, Qt::LeftButton, {},
                      QPoint(int(at.x() * view->width()), int(at.y() * view->height())));
}

// The value below which `share` of the sorted values lie (nearest rank).
double percentile(const std::vector<double>& sorted, double share) {
    const auto rank =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

int fail(const char* reason) {
    std::fprintf(stderr, "click latency: %s\n", reason);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::string tableArgument = argc == 2 ? argv[1] : "";
    if (argc > 2 || (argc == 2 && tableArgument.rfind("--table=", 0) != 0)) {
        std::fprintf(stderr, "usage: %s [--table=PATH]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    captureDriverFactory = makeLiveDriver;
    PlandisDlg dialog;
    dialog.show();

    // Start Capture, four points in each view, Calibration on.
    qobject_cast<QAbstractButton*>(dialog.dialogItem(startCaptureId))->click();
    QObject::connect(dialog.findChild<CaptureView*>(), &CaptureView::frameArrived,
                     [] { ++framesShown; });
    if (!QTest::qWaitFor([] { return framesShown > 2; }, 20000)) {
        return fail("no frame came from the 4K source");
    }
    const QPointF input[] = {{0.2, 0.2}, {0.8, 0.15}, {0.85, 0.8}, {0.15, 0.85}};
    const QPointF output[] = {{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.9}, {0.1, 0.9}};
    for (int i = 0; i < 4; ++i) {
        clickAt(dialog.inputView, input[i]);
        clickAt(dialog.outputView, output[i]);
    }
    qobject_cast<QAbstractButton*>(dialog.dialogItem(calibrationId))->click();
    if (calibrationOn != 1 || dialog.homographyList->count() != 3) {
        return fail("calibration did not turn on");
    }
    runFor(1000);

    // Clicks come from another thread at random moments, as the window system's do, so one
    // that comes while a frame is in the pipeline waits for it. Each lands in the middle of the
    // view, far from the four points, and its point is deleted again before the next.
    std::atomic<Clock::time_point> posted;
    std::atomic<std::size_t> answers = 0;
    std::vector<double> latencies(kClicks);
    QObject::connect(dialog.inputPointList->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (answers < kClicks) {
            latencies[answers++] =
                std::chrono::duration<double, std::milli>(Clock::now() - posted.load()).count();
        }
    });
    QWidget* const view = dialog.inputView;
    const QSize size = view->size();
    const QPoint origin = view->mapToGlobal(QPoint(0, 0));
    bool allAnswered = true;
    const long shownBefore = framesShown;
    const Clock::time_point begin = Clock::now();
    // The devices events name are made on first use, and must be made on the dialog's thread.
    QPointingDevice::primaryPointingDevice();
    QInputDevice::primaryKeyboard();
    std::thread clicker([&] {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> pause(10, 50);
        std::uniform_real_distribution<double> middle(0.35, 0.65);
        for (std::size_t click = 0; click < kClicks && allAnswered; ++click) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            const QPoint at(int(middle(random) * size.width()),
                            int(middle(random) * size.height()));
            posted = Clock::now();
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                const Qt::MouseButtons held =
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                QCoreApplication::postEvent(
                    view, new QMouseEvent(type, at, origin + at, Qt::LeftButton, held, {}));
            }
            const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(2);
            while (answers <= click && Clock::now() < giveUp) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            allAnswered = answers > click;
            QCoreApplication::postEvent(&dialog,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Delete, {}));
        }
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    });
    app.exec();
    clicker.join();
    if (!allAnswered) {
        return fail("a click added no row within 2 s");
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const long processed = framesShown - shownBefore;
    const long produced = std::lround(seconds * kLiveFps);
    std::sort(latencies.begin(), latencies.end());

    char row[256];
    std::snprintf(
        row, sizeof row, "| 3840 × 2160, %d fps | %zu | %.1f | %.1f | %.1f | %.1f | %ld / %ld |\n",
        kLiveFps, latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.95),
        latencies.back(), static_cast<double>(processed) / seconds, processed, produced);
    const std::string table =
        "| live source | clicks | median (ms) | 95th percentile (ms) | max (ms) | frames shown "
        "per second | frames processed / produced |\n|---|---:|---:|---:|---:|---:|---:|\n" +
        std::string(row);
    std::printf("\n%s", table.c_str());
    double load = 0;
    getloadavg(&load, 1);
    if (!tableArgument.empty()) {
        std::ofstream file(tableArgument.substr(8), std::ios::app);
        file << "\n## Click latency under a live 4K source\n\n"
             << "Made by bench_click_latency: the real dialog (offscreen) with Start Capture on "
                "GStreamer's live test source at 3840 × 2160 and 30 fps, four points in each "
                "view and Calibration on, so every frame the dialog takes is converted and "
                "warped on its thread. Each click is posted into the Input Image view at a "
                "random moment and timed until its row is in the list. Produced: "
             << kLiveFps
             << " frames per second of the run; the source drops what the dialog has not "
                "taken. Load average at the end "
             << std::round(load * 100) / 100 << ".\n\n"
             << table;
        if (!file) {
            return fail("cannot write the table");
        }
    }
    return 0;
}
