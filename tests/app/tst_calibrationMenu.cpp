// The calibration's menu commands, once through the real dialog: save, load, copy, the
// loaded picture rectified and saved, and what is refused.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "dialogTestSupport.h"
#include "tests/support/naiveReference.h"

class CalibrationMenu : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;
    QTemporaryDir folder;

    void run(const QString& command, const QString& file = {}) {
        FileDialogAnswer answer(folder.filePath(file));
        for (QAction* action : dialog->systemMenu().actions()) {
            if (action->text() == command)
                action->trigger();
        }
        if (command.isEmpty()) {  // Load BMP
            QTest::mouseClick(qobject_cast<QAbstractButton*>(dialog->dialogItem(1006)),
                              Qt::LeftButton);
        }
    }
    QStringList entries(int id) const {
        QStringList texts;
        for (auto* item :
             qobject_cast<QListWidget*>(dialog->dialogItem(id))->findItems("*", Qt::MatchWildcard))
            texts << item->text();
        return texts;
    }
    // The output frame is the grey picture's per-pixel warp through the homography shown.
    static bool rectified(const std::vector<unsigned char>& grey) {
        return outputFrame && std::vector<unsigned char>(outputFrame, outputFrame + 64 * 48) ==
                                  referenceWarp(grey.data(), 64, 48, homographyTable);
    }

  private slots:
    void init() { QVERIFY(openDialog(dialog, messages)); }
    void cleanup() { closeDialog(dialog, messages); }

    void savedLoadedCopiedAndRectified() {
        std::mt19937 random(3);
        const std::vector<unsigned char> first = randomBytes(64 * 48, random),
                                         second = randomBytes(64 * 48, random);
        setFrame(64, 48, &first);
        const QStringList input = {"8,6", "55,2", "62,46", "1,42", "31,22", "19,40"};
        const QStringList output = {"4,4", "60,6", "58,44", "3,40", "30,20", "20,30"};
        dialog->inputPointList->addItems(input);
        dialog->outputPointList->addItems(output);
        QTest::mouseClick(dialog->dialogItem(1010), Qt::LeftButton);
        const QStringList rows = entries(1011);
        QVERIFY(rectified(first));
        QCOMPARE(rows.size(), 4);
        QVERIFY(
            rows[3].contains(QRegularExpression("^RMS [0-9.]+ px, max [0-9.]+ px \\(pair 6\\)$")));
        run("Save calibration…", "cal.json");
        dialog->OnClearInput();
        dialog->OnClearOutput();
        QTest::mouseClick(dialog->dialogItem(1010), Qt::LeftButton);
        run("Load calibration…", "cal.json");
        QVERIFY(entries(1008) == input && entries(1003) == output && entries(1011) == rows);
        QVERIFY(qobject_cast<QCheckBox*>(dialog->dialogItem(1010))->isChecked());

        writeFile(folder.filePath("second.bmp"), bmpBytes(64, 48, 8, second));
        run("", "second.bmp");
        QVERIFY(rectified(second));  // a picture loaded while calibrating
        run("Save rectified picture…", "out.png");
        QCOMPARE(QImage(folder.filePath("out.png")).convertToFormat(QImage::Format_Grayscale8),
                 QImage(outputFrame, 64, 48, 64, QImage::Format_Grayscale8));
        run("Copy homography");
        QString copied;  // tab-separated rows, every digit that tells doubles apart
        for (int i = 0; i < 9; ++i)
            copied += QString::number(homography(i / 3 + 1, i % 3 + 1), 'g', 17) +
                      (i % 3 == 2 ? '\n' : '\t');
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        // Refused, changing nothing: a file that is not JSON, another frame size.
        writeFile(folder.filePath("bad.json"), "{\"version\": 1");
        run("Load calibration…", "bad.json");
        setFrame(32, 24, nullptr);
        run("Load calibration…", "cal.json");
        QCOMPARE(messages->texts.size(), 3);  // the first one is Load BMP's
        QVERIFY(messages->texts[1].startsWith(
            "The calibration cannot be loaded: it is not valid JSON"));
        QCOMPARE(messages->texts[2],
                 "The calibration is for a 64 x 48 frame, but the current frame is 32 x 24.");
        QVERIFY(entries(1008) == input && frameWidth == 32);
    }
};

QTEST_MAIN(CalibrationMenu)
#include "tst_calibrationMenu.moc"
