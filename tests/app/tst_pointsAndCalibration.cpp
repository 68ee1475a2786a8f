// Clicking points into the lists, clearing them, and the Calibration checkbox.
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "app/PictureView.h"
#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "dialogTestSupport.h"

namespace {

QStringList entries(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts << list.item(i)->text();
    }
    return texts;
}

void fill(QListWidget& list, const QStringList& texts) {
    list.clear();
    list.addItems(texts);
}

QList<double> matrixValues(const linal::Matrix& m) {
    QList<double> values;
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 3; ++c) {
            values << m(r, c);
        }
    }
    return values;
}

QList<double> tableValues() {
    QList<double> values;
    for (const auto& row : homographyTable) {
        for (double value : row) {
            values << value;
        }
    }
    return values;
}

const QStringList exampleOutput = {"10,10", "200,15", "190,220", "5,180"};
const QStringList exampleInput = {"30,40", "250,20", "260,230", "20,200"};
const QStringList exampleRows = {"1.064644 -0.037490 19.471393", "-0.132800 0.824368 32.741555",
                                 "-0.000323 -0.000534 1.000000"};

}  // namespace

class PointsAndCalibration : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;

    QCheckBox& calibrationBox() { return *qobject_cast<QCheckBox*>(dialog->dialogItem(1010)); }

    void clickCalibration() { QTest::mouseClick(&calibrationBox(), Qt::LeftButton); }

    // A calibration from the worked example, then the box cleared again: the state that
    // a refused click must leave as it is.
    void calibrateThenUncheck() {
        fill(*dialog->inputPointList, exampleInput);
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        clickCalibration();
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
    }

  private slots:
    void init() { QVERIFY(openDialog(dialog, messages)); }

    void cleanup() { closeDialog(dialog, messages); }

    void clickAddsTheFramePixelUnderThePointer_data() {
        QTest::addColumn<QSize>("view");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QString>("entry");
        QTest::newRow("209 × 241 view, 320 × 240 frame")
            << QSize(209, 241) << QSize(320, 240) << QPoint(100, 120) << "153,119";
        // (QTest takes (0, 0) for the centre; the corner itself is a unit test of its own.)
        QTest::newRow("near the top-left corner")
            << QSize(209, 241) << QSize(320, 240) << QPoint(1, 1) << "1,0";
        QTest::newRow("no frame size yet")
            << QSize(209, 241) << QSize(0, 0) << QPoint(150, 200) << "0,0";
        QTest::newRow("template-sized view")
            << QSize(243, 280) << QSize(640, 480) << QPoint(242, 279) << "637,478";
    }

    void clickAddsTheFramePixelUnderThePointer() {
        QFETCH(QSize, view);
        QFETCH(QSize, frame);
        QFETCH(QPoint, click);
        QFETCH(QString, entry);
        frameWidth = frame.width();
        frameHeight = frame.height();
        for (auto [picture, list] : {std::pair{dialog->inputView, dialog->inputPointList},
                                     std::pair{dialog->outputView, dialog->outputPointList}}) {
            picture->resize(view);
            QTest::mouseClick(picture, Qt::LeftButton, {}, click);
            QCOMPARE(entries(*list), QStringList{entry});
        }
    }

    void clicksAppendInClickOrderWithoutLimit() {
        frameWidth = 243;
        frameHeight = 280;
        const QList<QPoint> clicks = {{5, 5}, {200, 9}, {5, 5}, {120, 270}, {60, 60}};
        for (const QPoint at : clicks) {
            QTest::mouseClick(dialog->inputView, Qt::LeftButton, {}, at);
        }
        QCOMPARE(dialog->inputPointList->count(), 5);
        QCOMPARE(dialog->inputPointList->item(0)->text(), dialog->inputPointList->item(2)->text());
        QVERIFY(dialog->outputPointList->count() == 0);
    }

    void otherButtonsAndDoubleClicksAddNoEntry() {
        frameWidth = 320;
        frameHeight = 240;
        QTest::mouseClick(dialog->inputView, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseClick(dialog->inputView, Qt::MiddleButton, {}, QPoint(10, 10));
        QCOMPARE(dialog->inputPointList->count(), 0);
        // A double click as the window system delivers it: press, release, double-click,
        // release. Only the first press is a click.
        QTest::mousePress(dialog->inputView, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(dialog->inputView, Qt::LeftButton, {}, QPoint(10, 10));
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(10, 10),
                           dialog->inputView->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog->inputView, &second);
        QTest::mouseRelease(dialog->inputView, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(dialog->inputPointList->count(), 1);
    }

    void clearDataEmptiesOnlyItsOwnList_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("inputSide");
        QTest::newRow("1007 clears the input points") << 1007 << true;
        QTest::newRow("1009 clears the output points") << 1009 << false;
    }

    void clearDataEmptiesOnlyItsOwnList() {
        QFETCH(int, button);
        QFETCH(bool, inputSide);
        fill(*dialog->inputPointList, exampleInput);
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        QCOMPARE(calibrationOn, 1);
        const QList<double> table = tableValues();

        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->dialogItem(button)), Qt::LeftButton);
        QCOMPARE(entries(*dialog->inputPointList), inputSide ? QStringList{} : exampleInput);
        QCOMPARE(entries(*dialog->outputPointList), inputSide ? exampleOutput : QStringList{});
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(tableValues(), table);
        // Once more on the empty list: nothing changes.
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->dialogItem(button)), Qt::LeftButton);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
    }

    void checkingCalibrationShowsTheHomographyRows() {
        fill(*dialog->inputPointList, exampleInput);
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        QVERIFY(calibrationBox().isChecked());
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
        QCOMPARE(tableValues(), matrixValues(homography));
        QCOMPARE(homography(3, 3), 1.0);
        QCOMPARE(QString::asprintf("%f", homographyInverse(3, 3)), QStringLiteral("0.971535"));
        QVERIFY(messages->texts.isEmpty());
    }

    void uncheckingStopsTheWarpAndEstimatesAgain() {
        fill(*dialog->inputPointList, {"10,20", "110,20", "110,120", "10,120"});
        fill(*dialog->outputPointList, {"0,0", "100,0", "100,100", "0,100"});
        clickCalibration();
        QCOMPARE(calibrationOn, 1);
        // A value that is zero up to rounding may print as -0.000000.
        QCOMPARE(entries(*dialog->homographyList).replaceInStrings("-0.000000", "0.000000"),
                 QStringList({"1.000000 0.000000 10.000000", "0.000000 1.000000 20.000000",
                              "0.000000 0.000000 1.000000"}));
        // New points, then the box cleared: the warp stops and H follows the new points.
        fill(*dialog->inputPointList, exampleInput);
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        QVERIFY(!calibrationBox().isChecked());
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
        QVERIFY(messages->texts.isEmpty());
    }

    void unusablePointsAreRefused_data() {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QString>("message");
        const QString count =
            QString::fromUtf8("입력 영상과 출력 영상에 점을 4개씩 찍어야 합니다.");
        const QString degenerate =
            QString::fromUtf8("두 점이 겹치거나 세 점이 한 직선 위에 있어 보정할 수 없습니다.");
        const QStringList square = {"0,0", "100,0", "100,100", "0,100"};
        QTest::newRow("no points") << QStringList{} << QStringList{} << count;
        QTest::newRow("three input points") << square.mid(0, 3) << square << count;
        QTest::newRow("five input points") << square + QStringList{"50,50"} << square << count;
        QTest::newRow("fewer output points") << square << square.mid(0, 2) << count;
        QTest::newRow("more output points") << square << square + QStringList{"1,1"} << count;
        QTest::newRow("four equal output points")
            << square << QStringList{"5,5", "5,5", "5,5", "5,5"} << degenerate;
        QTest::newRow("two equal input points")
            << QStringList{"0,0", "100,0", "0,0", "0,100"} << square << degenerate;
        QTest::newRow("three on one line in both lists")
            << QStringList{"0,0", "10,0", "20,0", "0,10"}
            << QStringList{"0,0", "10,0", "20,0", "0,10"} << degenerate;
        QTest::newRow("three on a diagonal in the output list")
            << square << QStringList{"30,30", "0,50", "10,10", "20,20"} << degenerate;
    }

    void unusablePointsAreRefused() {
        QFETCH(QStringList, input);
        QFETCH(QStringList, output);
        QFETCH(QString, message);
        calibrateThenUncheck();
        const QList<double> h = matrixValues(homography);
        const QList<double> hi = matrixValues(homographyInverse);
        const QList<double> table = tableValues();

        fill(*dialog->inputPointList, input);
        fill(*dialog->outputPointList, output);
        clickCalibration();
        QCOMPARE(messages->texts, QStringList{message});
        QVERIFY(!calibrationBox().isChecked());
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(matrixValues(homography), h);
        QCOMPARE(matrixValues(homographyInverse), hi);
        QCOMPARE(tableValues(), table);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
        QCOMPARE(entries(*dialog->inputPointList), input);
        QCOMPARE(entries(*dialog->outputPointList), output);
        QVERIFY(dialog->isVisible());
    }

    void refusedClickCanBeRepeatedAndThenSucceed() {
        fill(*dialog->inputPointList, {"5,5", "5,5", "5,5", "5,5"});
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        clickCalibration();
        QCOMPARE(messages->texts.size(), 2);
        QCOMPARE(dialog->homographyList->count(), 0);
        QCOMPARE(tableValues(), QList<double>(9, 0.0));
        fill(*dialog->inputPointList, exampleInput);
        clickCalibration();
        QCOMPARE(calibrationOn, 1);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
    }

    void uncheckingWithUnusablePointsIsSilent() {
        fill(*dialog->inputPointList, exampleInput);
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        const QList<double> h = matrixValues(homography);
        const QList<double> table = tableValues();
        dialog->inputPointList->clear();
        clickCalibration();
        QVERIFY(!calibrationBox().isChecked());
        QCOMPARE(calibrationOn, 0);
        QVERIFY(messages->texts.isEmpty());
        QCOMPARE(matrixValues(homography), h);
        QCOMPARE(tableValues(), table);
        QCOMPARE(entries(*dialog->homographyList), exampleRows);
    }

    void calibrationTouchesNoFrameBuffer() {
        const std::vector<unsigned char> gray(12, 7);
        setFrame(4, 3, &gray);
        const unsigned char* before = grayFrame;
        fill(*dialog->inputPointList, exampleInput);
        fill(*dialog->outputPointList, exampleOutput);
        clickCalibration();
        QCOMPARE(grayFrame, before);
        QCOMPARE(frameWidth, 4);
        QCOMPARE(frameHeight, 3);
        QVERIFY(rgbFrame == nullptr);
        QCOMPARE(outputFrameBytes, std::size_t{12});  // the loaded frame is rectified
    }
};

QTEST_MAIN(PointsAndCalibration)
#include "tst_pointsAndCalibration.moc"
