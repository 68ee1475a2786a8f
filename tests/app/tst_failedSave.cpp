// Save BMP where the file cannot be written, as a user meets it: a read-only folder, a
// read-only file, a full disk, a FIFO or a device in the file's place. The user is told
// "파일을 저장할 수 없습니다.", the file that had the name keeps every byte, and no
// half-written or temporary file is left.
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>
#include <vector>

#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/sharedState.h"
#include "dialogTestSupport.h"
#include "tests/support/fullDisk.h"
#include "tests/support/readOnlyPlace.h"

namespace {

const QString cannotSave = QString::fromUtf8("파일을 저장할 수 없습니다.");
const std::string oldPicture = "the picture saved before";

}  // namespace

class FailedSave : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<QTemporaryDir> folder;

    void save(const QString& file) {
        FileDialogAnswer answer(file);
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->dialogItem(saveBmpId)),
                          Qt::LeftButton);
        QCOMPARE(answer.asked, 1);
    }

    QStringList filesIn() const {
        return QDir(folder->path())
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

  private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(openDialog(dialog, messages));
        // A grey 40 × 30 frame to save.
        const std::vector<unsigned char> grey(40 * 30, 77);
        setFrame(40, 30, &grey);
    }

    void cleanup() {
        closeDialog(dialog, messages);
        folder.reset();
    }

    void saveThatCannotWriteKeepsTheOldFileAndSaysSo_data() {
        QTest::addColumn<QString>("place");
        QTest::newRow("read-only folder") << "folder";
        QTest::newRow("read-only file") << "file";
        QTest::newRow("full disk") << "full";
    }

    void saveThatCannotWriteKeepsTheOldFileAndSaysSo() {
        QFETCH(QString, place);
        const QString kept = folder->filePath("kept.bmp");
        writeFile(kept, oldPicture);
        {
            const std::string where =
                place == "folder" ? folder->path().toStdString() : kept.toStdString();
            std::unique_ptr<ReadOnlyPlace> readOnly;
            std::unique_ptr<FullDisk> full;
            if (place == "full") {
                full = std::make_unique<FullDisk>(200);
            } else {
                readOnly = std::make_unique<ReadOnlyPlace>(where);
                if (!readOnly->works()) {
                    QSKIP("this file system cannot make a place read-only for root");
                }
            }
            save(kept);
        }
        QCOMPARE(messages->texts, QStringList{cannotSave});
        QCOMPARE(readFile(kept), oldPicture);
        QCOMPARE(filesIn(), QStringList{"kept.bmp"});
        QVERIFY(dialog->isVisible());

        // Once the place can be written again, the same save succeeds.
        messages->texts.clear();
        save(kept);
        QVERIFY(messages->texts.isEmpty());
        QCOMPARE(readFile(kept).size(), std::size_t{14 + 40 + 1024 + 40 * 30});
    }

    void somethingOtherThanAFileInThePlaceIsLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("device") << "device";
    }

    void somethingOtherThanAFileInThePlaceIsLeftAlone() {
        QFETCH(QString, kind);
        QString target = folder->filePath("taken.bmp");
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(target.toLocal8Bit().constData(), 0600), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(target));
        } else {
            target = QStringLiteral("/dev/null");
        }
        save(target);
        QCOMPARE(messages->texts, QStringList{cannotSave});
        struct stat status {};
        QCOMPARE(::lstat(target.toLocal8Bit().constData(), &status), 0);
        if (kind == "fifo") {
            QVERIFY(S_ISFIFO(status.st_mode));
        } else if (kind == "folder") {
            QVERIFY(S_ISDIR(status.st_mode));
        } else {
            QVERIFY(S_ISCHR(status.st_mode));
        }
        if (kind != "device") {
            QCOMPARE(filesIn(), QStringList{"taken.bmp"});
        }
    }
};

QTEST_MAIN(FailedSave)
#include "tst_failedSave.moc"
