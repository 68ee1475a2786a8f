// Hostile files through Load BMP, as a user would load them: every file of the seed corpus
// (and every BMP regression file of fuzzing), loaded over a running picture with
// calibration on. Each one shows its header text or "파일을 읽을 수 없습니다.", the dialog
// keeps running, and every frame buffer keeps the size the current frame implies, also
// through the next frame and repaint. Point lists the estimation cannot use are refused the
// same way.
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <map>
#include <vector>

#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "capture/framePipeline.h"
#include "dialogTestSupport.h"
#include "tests/image/bmpCases.h"

namespace {

const QString cannotRead = QString::fromUtf8("파일을 읽을 수 없습니다.");

// The capture format frames keep arriving in while files are loaded.
constexpr int captureWidth = 64;
constexpr int captureHeight = 48;

// What the case table says a file of the corpus gives: its header text, or the refusal.
std::map<QString, QString> expectedMessages() {
    std::map<QString, QString> expected;
    for (const BmpCase& c : bmpCases()) {
        QString text = cannotRead;
        if (c.loads) {
            const std::size_t stride = c.pixelBytes / static_cast<std::size_t>(c.height);
            text = QString(
                       "width = %1\nheight = %2\nbitCount = %3\nwidth4bytes = %4\n"
                       "imageSize = %5")
                       .arg(c.width)
                       .arg(c.height)
                       .arg(c.bitCount)
                       .arg(stride)
                       .arg(c.pixelBytes);
        }
        expected[QString::fromStdString(c.name) + ".bmp"] = text;
    }
    // Qt's reader shows the 1-bit file that Image's own reader refuses.
    expected["onebit_width7_refused.bmp"] =
        "width = 7\nheight = 2\nbitCount = 1\nwidth4bytes = 4\nimageSize = 8";
    return expected;
}

// Each buffer that exists holds exactly the bytes the current frame size implies.
bool buffersFitTheFrame() {
    const std::size_t pixels = framePixels();
    return (rgbFrame == nullptr || rgbFrameBytes == pixels * 3) &&
           (grayFrame == nullptr || grayFrameBytes == pixels) &&
           (outputFrame == nullptr || outputFrameBytes == pixels);
}

std::vector<unsigned char> copyOf(const unsigned char* buffer, std::size_t bytes) {
    return buffer == nullptr ? std::vector<unsigned char>{}
                             : std::vector<unsigned char>(buffer, buffer + bytes);
}

// One frame of the capture format, delivered as the capture window delivers it.
void deliverCaptureFrame(unsigned char shade) {
    std::vector<unsigned char> frame(std::size_t{captureWidth} * captureHeight * 3, shade);
    VideoHeader header{frame.data(), static_cast<std::uint32_t>(frame.size())};
    frameCallback(nullptr, &header);
}

}  // namespace

class HostileLoad : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;

    void load(const QString& file) {
        FileDialogAnswer answer(file);
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->dialogItem(loadBmpId)),
                          Qt::LeftButton);
        QCOMPARE(answer.asked, 1);
    }

    // A running 24-bit capture with calibration on through a mild homography.
    void startPicture() {
        frameWidth = captureWidth;
        frameHeight = captureHeight;
        frameBitCount = 24;
        const double h[3][3] = {{1.0, 0.1, 2.0}, {-0.05, 0.9, 1.0}, {0.0005, 0.0, 1.0}};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                homographyTable[r][c] = h[r][c];
            }
        }
        calibrationOn = 1;
        deliverCaptureFrame(90);
    }

  private slots:
    void init() {
        QVERIFY(openDialog(dialog, messages));
        startPicture();
    }

    void cleanup() { closeDialog(dialog, messages); }

    void eachFileShowsItsHeaderOrTheRefusal_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");  // empty: whatever the reader decides
        const auto expected = expectedMessages();
        const QDir corpus(QStringLiteral(PLANDIS_SOURCE_DIR "/tests/data/bmp"));
        const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 30);
        for (const QString& name : files) {
            const auto found = expected.find(name);
            QVERIFY2(found != expected.end(), qPrintable(name + " is not in the case table"));
            QTest::newRow(qPrintable(name)) << corpus.filePath(name) << found->second;
        }
        const QDir regressions(QStringLiteral(PLANDIS_SOURCE_DIR "/fuzz/regressions/bmp"));
        for (const QString& name : regressions.entryList(QDir::Files, QDir::Name)) {
            QTest::newRow(qPrintable("regression " + name))
                << regressions.filePath(name) << QString();
        }
    }

    void eachFileShowsItsHeaderOrTheRefusal() {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        const int widthBefore = frameWidth;
        const int heightBefore = frameHeight;
        const auto rgbBefore = copyOf(rgbFrame, rgbFrameBytes);
        const auto grayBefore = copyOf(grayFrame, grayFrameBytes);

        load(file);

        QCOMPARE(messages->texts.size(), 1);
        const QString shown = messages->texts.first();
        if (!expected.isEmpty()) {
            QCOMPARE(shown, expected);
        } else {
            QVERIFY2(shown == cannotRead || shown.startsWith("width = "), qPrintable(shown));
        }
        QVERIFY(dialog->isVisible());
        QVERIFY(buffersFitTheFrame());
        if (shown == cannotRead) {
            // A refused file changes nothing.
            QCOMPARE(frameWidth, widthBefore);
            QCOMPARE(frameHeight, heightBefore);
            QCOMPARE(copyOf(rgbFrame, rgbFrameBytes), rgbBefore);
            QCOMPARE(copyOf(grayFrame, grayFrameBytes), grayBefore);
        }

        // The views are painted from what is there, and the next frames are processed at
        // the loaded size until the next Start Capture.
        QVERIFY(!grabbed(*dialog).isNull());
        for (const int shade : {40, 200}) {
            deliverCaptureFrame(static_cast<unsigned char>(shade));
            QVERIFY(buffersFitTheFrame());
            QCOMPARE(rgbFrame != nullptr && grayFrame != nullptr && outputFrame != nullptr, true);
        }
        QVERIFY(!grabbed(*dialog).isNull());
    }

    // Paths that are no regular file: a folder named like a picture and a FIFO that no one
    // writes to. Neither may hang or load.
    void pathsThatAreNoFileAreRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
    }

    void pathsThatAreNoFileAreRefused() {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString path = folder.filePath("picture.bmp");
        if (kind == "folder") {
            QVERIFY(QDir().mkdir(path));
        } else {
            QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        }
        load(path);
        QCOMPARE(messages->texts, QStringList{cannotRead});
        QCOMPARE(frameWidth, captureWidth);
        QVERIFY(buffersFitTheFrame());
    }

    // Points far beyond the picture, as clicks on a huge loaded picture can give: usable
    // sets whose estimation would lose a pivot to rounding are refused with a message,
    // and the program goes on.
    void pointsTheEstimationCannotUseAreRefused() {
        calibrationOn = 0;
        for (const char* entry : {"30,40", "0,2", "260,0", "214748333,-48364743"}) {
            dialog->inputPointList->addItem(QString::fromLatin1(entry));
        }
        for (const char* entry : {"10,100", "2,0", "250,0", "25,180"}) {
            dialog->outputPointList->addItem(QString::fromLatin1(entry));
        }
        auto* box = qobject_cast<QCheckBox*>(dialog->dialogItem(calibrationId));
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(messages->texts,
                 QStringList{QString::fromUtf8("이 점들로는 호모그래피를 계산할 수 없습니다.")});
        QVERIFY(!box->isChecked());
        QCOMPARE(calibrationOn, 0);
        QCOMPARE(dialog->homographyList->count(), 0);
        deliverCaptureFrame(120);
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(HostileLoad)
#include "tst_hostileLoad.moc"
