// The dialogs as the user sees them: font, size, every control with its id, caption and
// place, the tab order, the icon and the desktop entry.
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "app/AboutDlg.h"
#include "app/PictureView.h"
#include "app/PlandisDlg.h"
#include "app/dialogBuilder.h"
#include "app/windowServices.h"
#include "dialogTestSupport.h"

namespace {

// The dialog font's base units with NanumSquare at 12 pixels: the 52 letters are 355
// pixels wide, (355 / 26 + 1) / 2 = 7, and a character is 13 pixels high.
constexpr int unitX = 7;
constexpr int unitY = 13;

// Dialog units to pixels, rounded to nearest, as the test's own reference.
QRect pixels(int x, int y, int w, int h) {
    const auto px = [](int v) { return static_cast<int>(v * unitX / 4.0 + 0.5); };
    const auto py = [](int v) { return static_cast<int>(v * unitY / 8.0 + 0.5); };
    return {px(x), py(y), px(w), py(h)};
}

QWidget* labelWithText(QWidget& dialog, const QString& text) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text() == text) {
            return label;
        }
    }
    return nullptr;
}

QString captionOf(const QWidget* control) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    return {};
}

// The 16 colours of the platform's standard palette.
const QSet<QRgb> standardColours = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

}  // namespace

class DialogLayout : public QObject {
    Q_OBJECT

  private slots:
    void fontIsPinnedWhereTheTemplateFaceIsMissing() {
        if (QFontDatabase::hasFamily(QStringLiteral("Gulim"))) {
            QSKIP("the template's own face is installed here");
        }
        QCOMPARE(dialogFontFamily("굴림"), QStringLiteral("NanumSquare"));
        PlandisDlg dialog;
        QCOMPARE(QFontInfo(dialog.font()).family(), QStringLiteral("NanumSquare"));
        QCOMPARE(dialog.font().pixelSize(), 12);
        const BaseUnits units = fontBaseUnits(dialog.font());
        QCOMPARE(units.x, unitX);
        QCOMPARE(units.y, unitY);
    }

    void mainDialogHasItsPixelSizeAndCaption() {
        PlandisDlg dialog;
        // 359 × 224 dialog units.
        QCOMPARE(dialog.size(), QSize(628, 364));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tessaro  2016.5.17"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void everyControlHasItsIdCaptionAndPlace_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("place");
        const auto row = [](const char* name, int id, const char* kind, const char* caption,
                            QRect place) {
            QTest::newRow(name) << id << QString::fromLatin1(kind) << QString::fromUtf8(caption)
                                << place;
        };
        row("Start Capture", 1000, "QPushButton", "Start Capture", pixels(297, 7, 55, 14));
        row("Stop Capture", 1004, "QPushButton", "Stop Capture", pixels(297, 28, 55, 14));
        row("Save BMP", 1005, "QPushButton", "Save BMP", pixels(297, 70, 55, 14));
        row("Load BMP", 1006, "QPushButton", "Load BMP", pixels(297, 49, 55, 14));
        row("input view", 1001, "PictureView", "", pixels(7, 7, 139, 160));
        row("Input Image", -1, "QLabel", "Input Image", pixels(7, 171, 43, 8));
        row("Output Image", -1, "QLabel", "Output Image", pixels(114, 170, 43, 8));
        row("output view", 1002, "PictureView", "", pixels(151, 7, 139, 160));
        row("output points", 1003, "QListWidget", "", pixels(163, 171, 43, 33));
        row("Clear Data (input)", 1007, "QPushButton", "Clear Data", pixels(16, 190, 43, 14));
        row("input points", 1008, "QListWidget", "", pixels(63, 171, 43, 33));
        row("Clear Data (output)", 1009, "QPushButton", "Clear Data", pixels(116, 190, 43, 14));
        row("Calibration", 1010, "QCheckBox", "Calibration", pixels(300, 92, 52, 10));
        row("homography", 1011, "QListWidget", "", pixels(256, 171, 96, 33));
        row("Homography", -1, "QLabel", "Homography", pixels(211, 171, 43, 8));
        row("instructions", -1, "QLabel",
            "1. Press Start Capture      2. Get 4 points in Input and Output Image    3. Check "
            "Calibration button.",
            pixels(7, 209, 345, 8));
    }

    void everyControlHasItsIdCaptionAndPlace() {
        QFETCH(int, id);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QRect, place);
        PlandisDlg dialog;
        QWidget* control = id == -1 ? labelWithText(dialog, caption) : dialog.dialogItem(id);
        QVERIFY(control != nullptr);
        QCOMPARE(controlId(*control), id);
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
        QCOMPARE(captionOf(control), caption);
        QCOMPARE(control->geometry(), place);
    }

    void viewsAreFramedAndReportClicks() {
        PlandisDlg dialog;
        QCOMPARE(dialog.inputView->size(), QSize(243, 260));
        QCOMPARE(dialog.outputView->size(), QSize(243, 260));
        QCOMPARE(dialog.inputView->focusPolicy(), Qt::NoFocus);
        dialog.show();
        const QImage view = grabbed(*dialog.inputView);
        QCOMPARE(view.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(view.pixel(242, 259), qRgb(0, 0, 0));
        QCOMPARE(view.pixel(121, 0), qRgb(0, 0, 0));
        QVERIFY(view.pixel(121, 140) != qRgb(0, 0, 0));
    }

    void listBoxesKeepTheirOrderAndScrollOnlyDown() {
        PlandisDlg dialog;
        for (QListWidget* list :
             {dialog.inputPointList, dialog.outputPointList, dialog.homographyList}) {
            QVERIFY(!list->isSortingEnabled());
            QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            QCOMPARE(list->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
            list->addItem(QStringLiteral("9,9"));
            list->addItem(QStringLiteral("1,1"));
            QCOMPARE(list->item(0)->text(), QStringLiteral("9,9"));
        }
    }

    void tabOrderIsTemplateOrder() {
        PlandisDlg dialog;
        const QList<int> expected = {1000, 1004, 1005, 1006, 1003, 1007,
                                     1008, 1009, 1010, 1011, 1000};
        QList<int> order;
        QWidget* control = dialog.dialogItem(1000);
        for (int i = 0; i < expected.size(); ++i) {
            order << controlId(*control);
            do {
                control = control->nextInFocusChain();
            } while (control->focusPolicy() == Qt::NoFocus || control == &dialog ||
                     controlId(*control) == -1);
        }
        QCOMPARE(order, expected);
    }

    void koreanTextsHaveGlyphsInTheDialogFont_data() {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"Veltro 정보", "Veltro 버전 1.0", "확인", "Veltro 정보(&A)...", "닫기(&C)",
              "파일을 읽을 수 없습니다.", "파일을 저장할 수 없습니다.",
              "입력 영상과 출력 영상에 점을 4개씩 찍어야 합니다.",
              "두 점이 겹치거나 세 점이 한 직선 위에 있어 보정할 수 없습니다."}) {
            QTest::newRow(text) << QString::fromUtf8(text);
        }
    }

    void koreanTextsHaveGlyphsInTheDialogFont() {
        QFETCH(QString, text);
        PlandisDlg dialog;
        const QFontMetrics metrics(dialog.font());
        for (const QChar c : text) {
            QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
        }
    }

    void aboutBoxHasItsTemplate() {
        AboutDlg about;
        QCOMPARE(about.windowTitle(), QString::fromUtf8("Veltro 정보"));
        QCOMPARE(about.size(), QSize(411, 89));  // 235 × 55 dialog units
        auto* ok = qobject_cast<QPushButton*>(about.findChildren<QPushButton*>().value(0));
        QVERIFY(ok != nullptr);
        QCOMPARE(controlId(*ok), 1);
        QCOMPARE(ok->text(), QString::fromUtf8("확인"));
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->geometry(), pixels(178, 7, 50, 14));
        QWidget* text = labelWithText(about, QString::fromUtf8("Veltro 버전 1.0"));
        QVERIFY(text != nullptr);
        QCOMPARE(text->geometry(), pixels(40, 10, 119, 8));
        // The icon static takes its icon's size at the template's place.
        QLabel* icon = nullptr;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) {
                icon = label;
            }
        }
        QVERIFY(icon != nullptr);
        QCOMPARE(icon->geometry(), QRect(pixels(11, 17, 0, 0).topLeft(), QSize(32, 32)));
        QCOMPARE(icon->pixmap().toImage(), loadIcon(128).pixmap(32, 32).toImage());
    }

    void iconHasTwoImagesOfSixteenStandardColours_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("32 × 32") << 32;
        QTest::newRow("16 × 16") << 16;
    }

    void iconHasTwoImagesOfSixteenStandardColours() {
        QFETCH(int, size);
        const QIcon icon = loadIcon(128);
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        const QImage image =
            icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        QSet<QRgb> colours;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 255) {
                    colours.insert(pixel);
                } else {
                    QCOMPARE(qAlpha(pixel), 0);
                }
            }
        }
        QVERIFY(colours.size() > 2);
        QVERIFY(colours.size() <= 16);
        for (const QRgb colour : colours) {
            QVERIFY(standardColours.contains(colour));
        }
        QVERIFY(loadIcon(127).isNull());
    }

    void windowsShowTheIcon() {
        PlandisDlg dialog;
        AboutDlg about;
        const QImage expected = loadIcon(128).pixmap(32, 32).toImage();
        QCOMPARE(dialog.windowIcon().pixmap(32, 32).toImage(), expected);
        QCOMPARE(about.windowIcon().pixmap(32, 32).toImage(), expected);
        QCOMPARE(dialog.windowIcon().pixmap(16, 16).toImage(),
                 loadIcon(128).pixmap(16, 16).toImage());
    }

    void desktopEntryNamesTheProgramAndItsVersion() {
        QFile file(QStringLiteral(PLANDIS_SOURCE_DIR "/app/plandis.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        for (const char* line :
             {"Type=Application", "Exec=plandis", "Icon=plandis", "Name=Veltro",
              "Name[ko]=Veltro 응용 프로그램",
              "Comment=Rectify a plane seen by a camera at an angle from four clicked point pairs",
              "X-Plandis-Version=1.0.0.1", "X-Plandis-OriginalFilename=Veltro.EXE"}) {
            QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
        }
    }

    void minimizedIconIsCentred_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("160 × 100") << QSize(160, 100) << QPoint(64, 34);
        QTest::newRow("odd sizes round up") << QSize(33, 35) << QPoint(1, 2);
        QTest::newRow("smaller than the icon") << QSize(10, 0) << QPoint(-10, -15);
    }

    void minimizedIconIsCentred() {
        QFETCH(QSize, client);
        QFETCH(QPoint, origin);
        QCOMPARE(minimizedIconOrigin(client.width(), client.height(), 32, 32), origin);
    }
};

QTEST_MAIN(DialogLayout)
#include "tst_dialogLayout.moc"
