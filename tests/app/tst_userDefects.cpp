// What a new user met: views not repainted without a frame, numbers in the user's locale,
// a camera running over a loaded picture, an About box no key opens, clipped captions.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <clocale>

#include "app/AboutDlg.h"
#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "capture/CaptureDriver.h"
#include "capture/CaptureWindow.h"
#include "dialogTestSupport.h"

namespace {

const QStringList exampleInput = {"30,40", "250,20", "260,230", "20,200"};
const QStringList exampleOutput = {"10,10", "200,15", "190,220", "5,180"};

// A view as the window last painted it (the backing store, not a new paint).
QImage onScreen(QWidget& view) {
    const QImage shown = view.screen()->grabWindow(view.window()->winId()).toImage();
    return shown.copy(view.geometry()).convertToFormat(QImage::Format_RGB32);
}

int redOnScreen(QWidget& view) {
    return countColour(onScreen(view), qRgb(255, 0, 0));
}

}  // namespace

class UserDefects : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;

    void click(int id) { QTest::mouseClick(dialog->dialogItem(id), Qt::LeftButton); }

  private slots:
    void init() { QVERIFY(openDialog(dialog, messages)); }
    void cleanup() { closeDialog(dialog, messages); }

    // Load BMP stops the camera, so from then on no frame arrives: each change below must
    // schedule its own repaint. Start Capture brings the camera back in its own format.
    void loadedPictureWithPointsAndCalibration() {
        captureDriverFactory = makeVirtualCaptureDriver;
        click(1000);
        std::vector<unsigned char> gray(320 * 240);
        for (std::size_t i = 0; i < gray.size(); ++i) {
            gray[i] = static_cast<unsigned char>(i % 251);
        }
        QTemporaryDir folder;
        writeFile(folder.filePath("p.bmp"), bmpBytes(320, 240, 8, gray));
        FileDialogAnswer answer(folder.filePath("p.bmp"));
        click(1006);
        QVERIFY(!dialog->captureWindow->previewing() && !dialog->captureWindow->connected());
        QCOMPARE(std::vector<unsigned char>(grayFrame, grayFrame + grayFrameBytes), gray);
        QTRY_COMPARE_WITH_TIMEOUT(onScreen(*dialog->inputView), grabbed(*dialog->inputView), 2000);
        dialog->inputPointList->addItems(exampleInput);
        dialog->outputPointList->addItems(exampleOutput);
        click(1010);
        QTRY_VERIFY_WITH_TIMEOUT(redOnScreen(*dialog->inputView) > 50, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(redOnScreen(*dialog->outputView) > 50, 2000);
        click(1007);  // Clear Data under the input view
        QTRY_COMPARE_WITH_TIMEOUT(redOnScreen(*dialog->inputView), 0, 2000);
        for (const QPoint at : {QPoint(10, 10), QPoint(100, 200)}) {  // one new segment
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, at);
        }
        QTRY_VERIFY_WITH_TIMEOUT(redOnScreen(*dialog->inputView) > 50, 2000);
        click(1010);  // Calibration off
        QTRY_COMPARE_WITH_TIMEOUT(redOnScreen(*dialog->outputView), 0, 2000);
        click(1000);
        captureDriverFactory = makeSystemCaptureDriver;
        QVERIFY(dialog->captureWindow->previewing());
        QCOMPARE(QSize(frameWidth, frameHeight), QSize(640, 480));
    }

    void numbersKeepThePointUnderAGermanLocale() {
        dialog.reset();  // the locale the application object would have taken
        QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"), "no de_DE.UTF-8: run scripts/install-deps");
        QVERIFY(openDialog(dialog, messages));
        dialog->inputPointList->addItems(exampleInput);
        dialog->outputPointList->addItems(exampleOutput);
        click(1010);
        std::setlocale(LC_ALL, "C");
        const QListWidget& rows = *dialog->homographyList;
        QCOMPARE(QStringList({rows.item(0)->text(), rows.item(1)->text(), rows.item(2)->text()}),
                 QStringList({"1.064644 -0.037490 19.471393", "-0.132800 0.824368 32.741555",
                              "-0.000323 -0.000534 1.000000"}));
    }

    void f1OpensTheAboutBoxAndClosesNothing() {
        QString opened;
        QTimer::singleShot(0, [&opened] {
            QWidget* modal = QApplication::activeModalWidget();
            opened = modal != nullptr && modal->close() ? modal->metaObject()->className() : "";
        });
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QCOMPARE(opened, QStringLiteral("AboutDlg"));
        QVERIFY(dialog->isVisible());
    }

    // A caption wider than its label is cut at the label's edge.
    void everyCaptionFitsItsLabel() {
        AboutDlg about;
        for (QWidget* owner :
             {static_cast<QWidget*>(dialog.get()), static_cast<QWidget*>(&about)}) {
            for (const QLabel* label : owner->findChildren<QLabel*>()) {
                const int needed = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(needed <= label->width(), qPrintable(label->text()));
            }
        }
    }
};

QTEST_MAIN(UserDefects)
#include "tst_userDefects.moc"
