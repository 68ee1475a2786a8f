// What the dialog tests share: a shown dialog over a clean shared state with its message
// boxes recorded, clicks on its controls, answered file dialogs and grabbed pixels.
#pragma once

#include <QFileDialog>
#include <QImage>
#include <QListWidget>
#include <QTest>

#include <memory>

#include "app/Plandis.h"
#include "app/PlandisDlg.h"
#include "app/resource.h"
#include "app/windowServices.h"
#include "capture/CaptureDriver.h"
#include "tests/support/sharedStateReset.h"

class DialogTest : public QObject {
  protected:
    std::unique_ptr<PlandisDlg> dialog;
    QStringList messages;

    void open() {
        close();
        messageBoxStandIn = [this](QWidget*, const QString& text) { messages << text; };
        dialog = std::make_unique<PlandisDlg>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void close() {
        dialog.reset();
        messages.clear();
        resetFrameState();
        homography = linal::Matrix(3, 3, 0.0);
        homographyInverse = linal::Matrix(3, 3, 0.0);
        messageBoxStandIn = nullptr;
        fileDialogStandIn = nullptr;
        captureDriverFactory = makeVirtualCaptureDriver;  // never this machine's cameras
    }
    void click(int id) { QTest::mouseClick(dialog->dialogItem(id), Qt::LeftButton); }
    // Load BMP or Save BMP, the file dialog answered with `path`.
    void fileCommand(int id, const QString& path) {
        fileDialogStandIn = [path](QFileDialog&) { return std::optional<QString>(path); };
        click(id);
    }
    static QStringList rows(const QListWidget& list) {
        QStringList texts;
        for (int i = 0; i < list.count(); ++i) {
            texts << list.item(i)->text();
        }
        return texts;
    }
    static QImage grabbed(QWidget& widget) {
        return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};
