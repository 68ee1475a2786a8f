// Load BMP and Save BMP: the file dialogs, the messages, the buffers and the pictures.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <random>

#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "app/windowServices.h"
#include "dialogTestSupport.h"
#include "tests/support/fullDisk.h"

namespace {

const QString cannotRead = QString::fromUtf8("파일을 읽을 수 없습니다.");
const QString cannotSave = QString::fromUtf8("파일을 저장할 수 없습니다.");

std::vector<unsigned char> pattern(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<unsigned char>(random() & 0xFF);
    }
    return bytes;
}

std::vector<unsigned char> bufferBytes(const unsigned char* buffer, std::size_t n) {
    return {buffer, buffer + n};
}

QStringList filesIn(const QString& directory) {
    return QDir(directory).entryList(QDir::Files, QDir::Name);
}

}  // namespace

class BmpCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<QTemporaryDir> folder;

    QString path(const char* name) const { return folder->filePath(QString::fromLatin1(name)); }

    void click(int id) {
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->dialogItem(id)), Qt::LeftButton);
    }

    void load(const QString& file) {
        FileDialogAnswer answer(file);
        click(1006);
        QCOMPARE(answer.asked, 1);
    }

    void save(const QString& file) {
        FileDialogAnswer answer(file);
        click(1005);
        QCOMPARE(answer.asked, 1);
    }

  private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(openDialog(dialog, messages));
    }

    void cleanup() {
        closeDialog(dialog, messages);
        folder.reset();
    }

    void bothCommandsAskWithTheSameSettings_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("acceptMode");
        QTest::addColumn<bool>("confirmsOverwrite");
        QTest::newRow("Load BMP opens") << 1006 << int(QFileDialog::AcceptOpen) << true;
        QTest::newRow("Save BMP saves without asking to overwrite")
            << 1005 << int(QFileDialog::AcceptSave) << false;
    }

    void bothCommandsAskWithTheSameSettings() {
        QFETCH(int, button);
        QFETCH(int, acceptMode);
        QFETCH(bool, confirmsOverwrite);
        FileDialogAnswer answer(std::nullopt);
        click(button);
        QCOMPARE(answer.asked, 1);
        QCOMPARE(answer.acceptMode, acceptMode);
        QCOMPARE(answer.defaultSuffix, QStringLiteral("bmp"));
        // The initial name "test", with the default extension the dialog adds to it.
        QCOMPARE(answer.fileName, QStringLiteral("test"));
        QCOMPARE(answer.selectedFiles.size(), 1);
        QCOMPARE(QFileInfo(answer.selectedFiles.first()).fileName(), QStringLiteral("test.bmp"));
        QCOMPARE(answer.nameFilters,
                 QStringList({"Image (*.BMP) (*.BMP *.bmp *.GIF *.gif *.JPG *.jpg)",
                              "All Files(*.*) (*)"}));
        QCOMPARE(answer.confirmsOverwrite, confirmsOverwrite);
        QVERIFY(!answer.hasOwner);
        // Cancelled: nothing happens.
        QVERIFY(messages->texts.isEmpty());
        QCOMPARE(frameWidth, 0);
    }

    void filterParsesIntoTwoChoices() {
        const auto choices =
            parseFilter("Image (*.BMP) | *.BMP;*.GIF;*.JPG | All Files(*.*)|*.*||");
        QCOMPARE(choices.size(), std::size_t{2});
        QCOMPARE(choices[0].description, std::string("Image (*.BMP) "));
        QCOMPARE(choices[0].patterns, (std::vector<std::string>{"*.BMP", "*.GIF", "*.JPG"}));
        QCOMPARE(choices[1].description, std::string(" All Files(*.*)"));
        QCOMPARE(choices[1].patterns, std::vector<std::string>{"*.*"});
        QVERIFY(parseFilter("").empty());
        QVERIFY(parseFilter("||").empty());
    }

    void imageChoiceListsBmpFilesOfEitherCase_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("Image") << 0 << QStringList{"B.BMP", "a.bmp", "c.gif", "e.JPG"};
        QTest::newRow("All Files")
            << 1 << QStringList{"B.BMP", "a.bmp", "c.gif", "d.txt", "e.JPG", "noDot"};
    }

    void imageChoiceListsBmpFilesOfEitherCase() {
        QFETCH(int, choice);
        QFETCH(QStringList, listed);
        for (const char* name : {"a.bmp", "B.BMP", "c.gif", "d.txt", "e.JPG", "noDot"}) {
            writeFile(path(name), "x");
        }
        const FileDialogSettings settings{
            "bmp", "test", "Image (*.BMP) | *.BMP;*.GIF;*.JPG | All Files(*.*)|*.*||"};
        const auto fileDialog = makeFileDialog(FileDialogKind::open, settings);
        fileDialog->setOption(QFileDialog::DontUseNativeDialog);
        fileDialog->setDirectory(folder->path());
        fileDialog->selectNameFilter(fileDialog->nameFilters().at(choice));
        fileDialog->show();
        auto* view = fileDialog->findChild<QListView*>(QStringLiteral("listView"));
        QVERIFY(view != nullptr);
        const auto shown = [view] {
            QStringList names;
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                names << view->model()->index(row, 0, root).data().toString();
            }
            names.sort();
            return names;
        };
        QTRY_COMPARE(shown(), listed);
    }

    void loadingAnEightBitFileShowsItsHeaderAndPicture() {
        // 6 × 3: rows of 6 bytes, padded to 8 in the file.
        const std::vector<unsigned char> picture = {10,  20,  30,  40,  50,  60,  70,  80,  90,
                                                    100, 110, 120, 130, 140, 150, 160, 170, 180};
        writeFile(path("grey.bmp"), bmpBytes(6, 3, 8, picture));
        load(path("grey.bmp"));
        QCOMPARE(
            messages->texts,
            QStringList{"width = 6\nheight = 3\nbitCount = 8\nwidth4bytes = 8\nimageSize = 24"});
        QCOMPARE(frameWidth, 6);
        QCOMPARE(frameHeight, 3);
        QCOMPARE(grayFrameBytes, std::size_t{18});
        QCOMPARE(bufferBytes(grayFrame, 18), picture);
        // Top-left of the view shows the top-left picture pixel; bottom-right the last.
        const auto viewShows = [this](QPoint at) { return grabbed(*dialog->inputView).pixel(at); };
        QTRY_COMPARE(viewShows({2, 2}), qRgb(10, 10, 10));
        QCOMPARE(viewShows({240, 257}), qRgb(180, 180, 180));
        QCOMPARE(viewShows({2, 257}), qRgb(130, 130, 130));
    }

    void loadingTheTypicalFrameGivesItsFiveLines() {
        const auto picture = pattern(320 * 240, 3);
        writeFile(path("frame.bmp"), bmpBytes(320, 240, 8, picture));
        load(path("frame.bmp"));
        QCOMPARE(messages->texts, QStringList{"width = 320\nheight = 240\nbitCount = 8\n"
                                              "width4bytes = 320\nimageSize = 76800"});
        QCOMPARE(bufferBytes(grayFrame, grayFrameBytes), picture);
    }

    void loadingAColourFileShowsItInsteadOfTheGreyFrame() {
        const std::vector<unsigned char> gray(8 * 8, 99);
        setFrame(8, 8, &gray, nullptr, &gray);
        // 321 × 2, 24 bits: rows of 963 bytes, 964 in the file.
        std::vector<unsigned char> picture(321 * 2 * 3, 0);
        for (std::size_t i = 0; i < picture.size(); i += 3) {
            picture[i + 2] = 255;  // red
        }
        writeFile(path("colour.bmp"), bmpBytes(321, 2, 24, picture));
        load(path("colour.bmp"));
        QCOMPARE(messages->texts, QStringList{"width = 321\nheight = 2\nbitCount = 24\n"
                                              "width4bytes = 964\nimageSize = 1928"});
        QCOMPARE(frameWidth, 321);
        QCOMPARE(rgbFrameBytes, std::size_t{1926});
        QCOMPARE(bufferBytes(rgbFrame, rgbFrameBytes), picture);
        QVERIFY(grayFrame == nullptr && grayFrameBytes == 0);
        QVERIFY(outputFrame == nullptr && outputFrameBytes == 0);  // of the former size
        QTRY_COMPARE(grabbed(*dialog->inputView).pixel(100, 100), qRgb(255, 0, 0));
    }

    void loadingAnotherSizeDropsEveryBufferOfTheFormerSize() {
        const std::vector<unsigned char> gray(8 * 8, 99);
        const std::vector<unsigned char> bgr(8 * 8 * 3, 7);
        setFrame(8, 8, &gray, &bgr, &gray);
        writeFile(path("small.bmp"), bmpBytes(4, 4, 8, pattern(16, 1)));
        load(path("small.bmp"));
        QCOMPARE(grayFrameBytes, std::size_t{16});
        QVERIFY(rgbFrame == nullptr && outputFrame == nullptr);
    }

    void unreadableFilesChangeNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("JPEG") << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
        QTest::newRow("GIF") << QByteArray("GIF89a\x01\x00\x01\x00", 10);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated header") << QByteArray("BM\x10\x00", 4);
    }

    void unreadableFilesChangeNothing() {
        QFETCH(QByteArray, content);
        const std::vector<unsigned char> gray(4 * 2, 9);
        setFrame(4, 2, &gray);
        const unsigned char* before = grayFrame;
        writeFile(path("bad.jpg"), content.toStdString());
        load(path("bad.jpg"));
        QCOMPARE(messages->texts, QStringList{cannotRead});
        QCOMPARE(frameWidth, 4);
        QCOMPARE(frameHeight, 2);
        QCOMPARE(grayFrame, before);
        QCOMPARE(grayFrameBytes, std::size_t{8});
    }

    void missingFileCannotBeRead() {
        load(path("nothing.bmp"));
        QCOMPARE(messages->texts, QStringList{cannotRead});
        QCOMPARE(frameWidth, 0);
    }

    void saveThenLoadGivesBackTheSameBytes_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("320 × 240") << QSize(320, 240);
        QTest::newRow("odd 7 × 5") << QSize(7, 5);
        QTest::newRow("one pixel") << QSize(1, 1);
    }

    void saveThenLoadGivesBackTheSameBytes() {
        QFETCH(QSize, size);
        const std::size_t n = static_cast<std::size_t>(size.width() * size.height());
        const auto picture = pattern(n, 11);
        setFrame(size.width(), size.height(), &picture);
        save(path("saved.bmp"));
        QVERIFY(messages->texts.isEmpty());
        QCOMPARE(readFile(path("saved.bmp")), bmpBytes(size.width(), size.height(), 8, picture));
        const auto other = pattern(n, 12);
        setFrame(size.width(), size.height(), &other);
        load(path("saved.bmp"));
        QCOMPARE(bufferBytes(grayFrame, grayFrameBytes), picture);
        QCOMPARE(filesIn(folder->path()), QStringList{"saved.bmp"});
    }

    void savingReplacesAnExistingFile() {
        writeFile(path("old.bmp"), "old content");
        const auto picture = pattern(12, 5);
        setFrame(4, 3, &picture);
        save(path("old.bmp"));
        QCOMPARE(readFile(path("old.bmp")), bmpBytes(4, 3, 8, picture));
    }

    void savingWithoutGreyFrameWritesBlack() {
        const std::vector<unsigned char> bgr(5 * 2 * 3, 200);
        setFrame(5, 2, nullptr, &bgr);
        save(path("black.bmp"));
        QCOMPARE(readFile(path("black.bmp")), bmpBytes(5, 2, 8, std::vector<unsigned char>(10)));
    }

    void savingBeforeTheFrameSizeIsKnownCannotCreateTheImage() {
        save(path("none.bmp"));
        QCOMPARE(messages->texts, QStringList{"Can not create image!"});
        QVERIFY(filesIn(folder->path()).isEmpty());
    }

    void saveThatCannotWriteSaysSoAndLeavesNoFile() {
        const auto picture = pattern(12, 5);
        setFrame(4, 3, &picture);
        save(path("missing folder/x.bmp"));
        QCOMPARE(messages->texts, QStringList{cannotSave});
        QVERIFY(filesIn(folder->path()).isEmpty());
    }

    void failedSaveKeepsTheFileThatWasThere() {
        writeFile(path("kept.bmp"), "the picture saved before");
        const auto picture = pattern(320 * 240, 5);
        setFrame(320, 240, &picture);
        {
            const FullDisk limit(4096);
            save(path("kept.bmp"));
        }
        QCOMPARE(messages->texts, QStringList{cannotSave});
        QCOMPARE(readFile(path("kept.bmp")), std::string("the picture saved before"));
        QCOMPARE(filesIn(folder->path()), QStringList{"kept.bmp"});
    }

    void realMessageBoxHasTheTextAndOnlyAnOkButton() {
        messages.reset();  // the real box this time
        QString text, title;
        int buttons = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            text = box->text();
            title = box->windowTitle();
            buttons = static_cast<int>(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        load(path("nothing.bmp"));
        QCOMPARE(text, cannotRead);
        QCOMPARE(title, QCoreApplication::applicationName());
        QCOMPARE(buttons, 1);
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(BmpCommands)
#include "tst_bmpCommands.moc"
