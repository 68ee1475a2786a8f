// The dialog's menu with the About item, the About box, and closing the dialog.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/AboutDlg.h"
#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/sharedState.h"
#include "dialogTestSupport.h"

namespace {

enum class Closing { okButton, enter, escape };

// What a modal window showed before it was closed.
struct Seen {
    QString className;
    QString title;
    QStringList texts;
};

// Closes the next modal window the way given, once it is up, and records what it showed.
void closeNextModal(Closing how, Seen& seen) {
    QTimer::singleShot(0, [how, &seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        seen.className = QString::fromLatin1(modal->metaObject()->className());
        seen.title = modal->windowTitle();
        for (const QLabel* label : modal->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                seen.texts << label->text();
            }
        }
        for (const QPushButton* button : modal->findChildren<QPushButton*>()) {
            seen.texts << button->text();
        }
        if (how == Closing::okButton) {
            modal->findChild<QPushButton*>()->click();
        } else {
            QTest::keyClick(modal, how == Closing::enter ? Qt::Key_Return : Qt::Key_Escape);
        }
    });
}

}  // namespace

class AboutAndMenu : public QObject {
    Q_OBJECT

    std::unique_ptr<PlandisDlg> dialog;

  private slots:
    void initTestCase() {
        // Before anything ran: the process-wide objects as the program starts with them.
        QCOMPARE(NumRows(homography), 3);
        QCOMPARE(NumCols(homographyInverse), 3);
        for (int r = 1; r <= 3; ++r) {
            for (int c = 1; c <= 3; ++c) {
                QCOMPARE(homography(r, c), 0.0);
                QCOMPARE(homographyInverse(r, c), 0.0);
            }
        }
        QVERIFY(inputImage.pixels == nullptr && outputImage.pixels == nullptr);
        QVERIFY(mainDialog == nullptr);
        QCOMPARE(frameBitCount, 8);
    }

    void init() {
        resetSharedState();
        dialog = std::make_unique<PlandisDlg>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void cleanup() { dialog.reset(); }

    void dialogPublishesItselfUntilItIsGone() {
        QCOMPARE(mainDialog, dialog.get());
        dialog.reset();
        QVERIFY(mainDialog == nullptr);
    }

    void menuEndsWithASeparatorAndTheAboutItem() {
        const QList<QAction*> actions = dialog->systemMenu().actions();
        QCOMPARE(actions.size(), 8);
        QVERIFY(actions[1]->isSeparator() && actions[6]->isSeparator());
        QCOMPARE(actions[7]->text(), QString::fromUtf8("Veltro 정보(&A)..."));
        QCOMPARE(actions[7]->data().toInt(), 0x0010);
        QCOMPARE(actions[0]->data().toInt(), 0xF060);
    }

    void rightClickOpensTheMenu() {
        bool shown = false;
        QTimer::singleShot(0, [&shown] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                shown = menu->actions().size() == 8;
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(400, 300),
                                dialog->mapToGlobal(QPoint(400, 300)));
        QApplication::sendEvent(dialog.get(), &event);
        QVERIFY(shown);
        QVERIFY(dialog->isVisible());
    }

    void aboutItemOpensTheAboutBoxModally_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("closed with OK") << int(Closing::okButton);
        QTest::newRow("closed with Enter") << int(Closing::enter);
        QTest::newRow("closed with Esc") << int(Closing::escape);
    }

    void aboutItemOpensTheAboutBoxModally() {
        QFETCH(int, how);
        dialog->inputPointList->addItems({"1,2", "3,4"});
        calibrationOn = 0;
        Seen seen;
        closeNextModal(static_cast<Closing>(how), seen);
        dialog->systemMenu().actions().last()->trigger();
        QCOMPARE(seen.className, QStringLiteral("AboutDlg"));
        QCOMPARE(seen.title, QString::fromUtf8("Veltro 정보"));
        QCOMPARE(seen.texts, QStringList({"Veltro 버전 1.0", "확인"}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->inputPointList->count(), 2);
        QCOMPARE(mainDialog, dialog.get());
    }

    void aboutBoxCanBeOpenedAgain() {
        for (int i = 0; i < 3; ++i) {
            Seen seen;
            closeNextModal(Closing::escape, seen);
            dialog->OnSysCommand(0x0010 | 0x0003);  // the low four bits are ignored
            QCOMPARE(seen.className, QStringLiteral("AboutDlg"));
        }
    }

    void closeItemClosesTheDialog() {
        dialog->systemMenu().actions().first()->trigger();
        QVERIFY(!dialog->isVisible());
    }

    void escapeClosesTheDialog() {
        QTest::keyClick(dialog->dialogItem(1008), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
    }

    void enterClosesTheDialogUnlessAPushButtonHasTheFocus() {
        dialog->inputPointList->addItem(QStringLiteral("1,1"));
        QWidget* clear = dialog->dialogItem(1007);
        clear->setFocus();
        QTest::keyClick(clear, Qt::Key_Return);
        QCOMPARE(dialog->inputPointList->count(), 0);  // the button was pressed
        QVERIFY(dialog->isVisible());
        QWidget* list = dialog->dialogItem(1008);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
    }

    void startUpRunsTheDialogModallyAndEnds() {
        dialog.reset();
        Seen seen;
        closeNextModal(Closing::escape, seen);
        QCOMPARE(theApp.InitInstance(), false);
        QCOMPARE(seen.className, QStringLiteral("PlandisDlg"));
        QCOMPARE(seen.title, QStringLiteral("Tessaro  2016.5.17"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.0.0.1"));
        QVERIFY(mainDialog == nullptr);
    }
};

QTEST_MAIN(AboutAndMenu)
#include "tst_aboutAndMenu.moc"
