#include "app/PlandisDlg.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <clocale>
#include <utility>

#include "app/AboutDlg.h"
#include "app/PictureView.h"
#include "app/Plandis.h"
#include "app/dialogBuilder.h"
#include "app/resource.h"
#include "app/windowServices.h"
#include "capture/CaptureWindow.h"
#include "frame/frameState.h"

PlandisDlg::PlandisDlg(QWidget* parent)
    : QDialog(parent), controls(buildDialog(*this, plandisDialogTemplate())) {
    icon = loadIcon(mainIcon);
    // The menu the platform gives a window with a system menu: its close item.
    sysMenu = new QMenu(this);
    sysMenu->addAction(QString::fromUtf8("닫기(&C)"))->setData(closeCommand);
    addCameraMenu();
    addCalibrationCommands();
    addSubpixelCommands();
    addLensCommands();
    addPlaneCommands();
    addLastPointsCommands();
    connect(sysMenu, &QMenu::triggered, this,
            [this](QAction* action) { OnSysCommand(action->data().toInt()); });
    DoDataExchange();
    messageMap();
    OnInitDialog();
}

PlandisDlg::~PlandisDlg() {
    freeFrameBuffer(grayFrame, grayFrameBytes);
    freeFrameBuffer(outputFrame, outputFrameBytes);
    // No frame may reach a dialog that is gone.
    if (mainDialog == this) {
        mainDialog = nullptr;
    }
}

QWidget* PlandisDlg::dialogItem(int id) const {
    const auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

void PlandisDlg::DoDataExchange() {
    homographyList = qobject_cast<QListWidget*>(dialogItem(homographyListId));
    outputPointList = qobject_cast<QListWidget*>(dialogItem(outputPointListId));
    inputPointList = qobject_cast<QListWidget*>(dialogItem(inputPointListId));
    inputView = qobject_cast<PictureView*>(dialogItem(inputViewId));
    outputView = qobject_cast<PictureView*>(dialogItem(outputViewId));
    outputView->rectified = true;
    calibrationBox = qobject_cast<QCheckBox*>(dialogItem(calibrationId));
}

// Each control's notification to its handler.
void PlandisDlg::messageMap() {
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(dialogItem(id)); };
    connect(button(startCaptureId), &QPushButton::clicked, this, &PlandisDlg::OnStartCapture);
    connect(button(stopCaptureId), &QPushButton::clicked, this, &PlandisDlg::OnStopCapture);
    connect(button(saveBmpId), &QPushButton::clicked, this, &PlandisDlg::OnSaveBmp);
    connect(button(loadBmpId), &QPushButton::clicked, this, &PlandisDlg::OnLoadBmp);
    connect(button(clearInputId), &QPushButton::clicked, this, &PlandisDlg::OnClearInput);
    connect(button(clearOutputId), &QPushButton::clicked, this, &PlandisDlg::OnClearOutput);
    connect(inputView, &PictureView::clicked, this, &PlandisDlg::OnInputViewClicked);
    connect(outputView, &PictureView::clicked, this, &PlandisDlg::OnOutputViewClicked);
    connect(inputView, &PictureView::moved, this, [this](QPoint at, bool dragging) {
        moveOverView(*inputView, at, dragging, *inputPointList);
    });
    connect(outputView, &PictureView::moved, this, [this](QPoint at, bool dragging) {
        pointer = at;  // its place on the plane shows in the view's corner
        outputView->update();
        moveOverView(*outputView, at, dragging, *outputPointList);
    });
    connect(inputView, &PictureView::released, this,
            [this] { releaseView(*inputView, *inputPointList); });
    connect(outputView, &PictureView::released, this,
            [this] { releaseView(*outputView, *outputPointList); });
    // clicked, not toggled: unchecking the box from OnCalibration is no new click.
    connect(calibrationBox, &QCheckBox::clicked, this, &PlandisDlg::OnCalibration);
    inputView->paintContent = [this](QPainter& painter) { paintInputView(painter); };
    outputView->paintContent = [this](QPainter& painter) { paintOutputView(painter); };
    connectLoupes();
}

bool PlandisDlg::OnInitDialog() {
    const char* about = loadString(aboutBoxString);
    if (*about != '\0') {
        sysMenu->addSeparator();
        sysMenu->addAction(QString::fromUtf8(about))->setData(aboutCommand);
    }
    setWindowIcon(icon);
    // The application object set the C library's locale from the environment; numbers in
    // lists, messages and files keep the "." decimal point whatever the user's language.
    std::setlocale(LC_NUMERIC, "C");
    mainDialog = this;
    return true;
}

void PlandisDlg::OnSysCommand(int commandId) {
    if ((commandId & 0xFFF0) == aboutCommand) {
        AboutDlg about(this);
        about.exec();
    } else if (commandId == closeCommand) {
        close();
    }
}

void PlandisDlg::contextMenuEvent(QContextMenuEvent* event) {
    sysMenu->exec(event->globalPos());
}

// Enter closes the dialog unless a push button takes it, as Esc does (QDialog's own), but
// not from a picture view, where it would end the picking just done. F1, the help key, opens
// the About box. The point-editing keys close nothing.
void PlandisDlg::keyPressEvent(QKeyEvent* event) {
    if (measureKey(*event)) {
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (qobject_cast<PictureView*>(focusWidget()) == nullptr) {
            accept();
        }
        return;
    }
    if (event->key() == Qt::Key_F1) {
        OnSysCommand(aboutCommand);
        return;
    }
    if (pickingKey(*event) || lensKey(*event)) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void PlandisDlg::OnClearInput() {
    clearList(*inputPointList);
}

void PlandisDlg::OnClearOutput() {
    clearList(*outputPointList);
}

// Clearing a list is one undo step.
void PlandisDlg::clearList(QListWidget& list) {
    PointLists before = pointLists();
    listReset(list);
    recordStep(std::move(before));
    followPoints();
    refreshViews();
}
