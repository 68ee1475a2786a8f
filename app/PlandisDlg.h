// PlandisDlg: the program's main window, the modal dialog of template 102. It holds the
// two picture views, the three lists, the push buttons and the Calibration checkbox,
// routes each command to its handler, paints the views, and owns the capture window.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPoint>
#include <QSize>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "calib/lensFit.h"
#include "calib/planeMeasure.h"
#include "calib/pointSet.h"
#include "capture/CaptureDriver.h"

class CaptureWindow;
class PictureView;
template <typename T>
class QFutureWatcher;
class QCheckBox;
class QListWidget;
class QKeyEvent;
class QMenu;
class QAction;
class QTableWidget;
class QPainter;

class PlandisDlg : public QDialog {
    Q_OBJECT

  public:
    // What Calibration warps by, and a measurement on the output view.
    struct Estimate {
        LensEstimate fit;           // H: output pixel -> ideal input point, and the lens
        QString problem;            // a plane that cannot be laid out, as the user is told
        PlaneLayout layout;         // with a plane: the output frame
        int horizon = 0;            // with a plane: the sign of w kept
        std::vector<Point> output;  // with a plane: the plane points' output pixels
    };
    enum class Tool { none, distance, angle, area };
    struct MeasuredItem {
        Tool tool;
        std::vector<Point> points;  // output pixels
        Measurement value;
        std::string unit;
    };

    explicit PlandisDlg(QWidget* parent = nullptr);
    ~PlandisDlg() override;

    // The dialog's menu (opened with the right mouse button): the platform's close item,
    // then a separator and the About item.
    QMenu& systemMenu() const { return *sysMenu; }

    // The control with this template id, or null.
    QWidget* dialogItem(int id) const;

    // Menu commands: the About item (aboutCommand) opens the About box; the close item
    // closes the dialog.
    void OnSysCommand(int commandId);

    // Redraws both views at once from the frame state: the repaint that the frame
    // pipeline asks for after each frame.
    void OnPaint();

    // Schedules a repaint of both views once control returns to the event loop: after every
    // change to what they show that no frame brings (points, calibration, a loaded picture).
    void refreshViews();

    void OnStartCapture();
    void OnStopCapture();
    void OnSaveBmp();
    void OnLoadBmp();
    void OnClearInput();
    void OnClearOutput();
    // A press at `position`, in the view's client coordinates: it adds the frame pixel under
    // it and picks that, at once or, near a point of the view's list, once released without
    // dragging that point.
    void OnInputViewClicked(QPoint position);
    void OnOutputViewClicked(QPoint position);
    void OnCalibration();
    // The calibration's menu commands; each refuses with a message what it cannot do.
    void OnSaveCalibration();
    void OnLoadCalibration();
    void OnCopyHomography();
    void OnSaveRectifiedPicture();
    // Loads a calibration file (Load calibration…, --calibration), or says why not and
    // changes nothing.
    void loadCalibrationFile(const std::string& path);

    // Creates the capture window and connects its driver (Start Capture).
    void connectCapture();
    void captureStopped();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void DoDataExchange();
    bool OnInitDialog();
    void messageMap();
    void paintInputView(QPainter& painter);
    void paintOutputView(QPainter& painter);
    void drawMarkers(QPainter& painter, const PictureView& view, const QListWidget& list);
    void drawPointNumbers(QPainter& painter, const PictureView& view, const QListWidget& list);
    void connectLoupes();
    void addClickedPoint(const PictureView& view, QPoint position, QListWidget& list);

    // Point editing (PlandisDlgPicking.cpp). The lists stay the only record of the points;
    // the picked point is an entry of one of them, each undo step a copy of both.
    struct PointLists {
        QStringList input, output;
        bool operator==(const PointLists&) const = default;
    };
    PointLists pointLists() const;
    void restorePointLists(const PointLists& lists);
    void recordStep(PointLists before);
    void clearList(QListWidget& list);
    void pressView(const PictureView& view, QPoint position, QListWidget& list);
    void moveOverView(PictureView& view, QPoint position, bool dragging, QListWidget& list);
    void releaseView(const PictureView& view, QListWidget& list);
    int picked() const;  // the picked entry's row in pickedList, or -1
    void setPoint(QListWidget& list, int index, const std::string& text);
    bool pickingKey(const QKeyEvent& event);
    // While calibrating, H follows every change of the point lists.
    void followPoints();
    // The points belong to the frame size they were picked in, a loaded calibration's to its
    // file's; empty lists to none.
    void notePointsFrame();
    // True while the frames are of the points' size (or it is unknown); otherwise turns
    // Calibration off and says why. The lists stay for when frames of their size return.
    bool pointsFitFrame();
    void addCalibrationCommands();
    void addLastPointsCommands();
    // Sub-pixel points (PlandisDlgSubpixel.cpp): clicks snapped to chessboard corners, and a
    // printed chart found whole.
    void addSubpixelCommands();
    // Whether a click in `view` now snaps: in the input view, with Shift held or the menu's
    // toggle on.
    bool snaps(const PictureView& view) const;
    // The refined corner within reach of `pixel` in the current grey picture, or none.
    static std::optional<Point> cornerNear(Point pixel);
    bool snapPicked();  // key S: false when no input point is picked
    void OnFindChart();
    void chartSearched();
    void keepLastPoints();
    void OnRestoreLastPoints();
    // Lens distortion (PlandisDlgLens.cpp): H alone, or with the lens while the menu's toggle
    // is on, from the pairs and the straight lines.
    void addLensCommands();
    void OnAddStraightLine();
    void endStraightLine();
    bool lensKey(const QKeyEvent& event);
    void addLinePoint(QPoint position);
    void appendLens(const LensEstimate& e);
    void drawStraightLines(QPainter& painter);
    // Points joined in order (closed: back to the first), each with a small circle.
    static void drawPath(QPainter& painter, const PictureView& view,
                         const std::vector<Point>& points, bool closed);
    void addCameraMenu();
    void fillCameraMenu(QMenu& menu);
    void chooseCapture(const CaptureChoice& chosen);
    void rectifyLoadedPicture();
    // Takes a usable estimate as the homography: H, its inverse, the warp's table, the list.
    void showHomography(const Estimate& estimate, std::span<const Point> output);
    // The plane in real units and measuring on it (PlandisDlgPlane.cpp).
    void addPlaneCommands();
    void OnPlaneCoordinates();
    // What Calibration warps by: H from the pairs or, with a plane, from the input points and
    // the plane points, laid out; the lens while its toggle is on.
    Estimate estimate(std::span<const Point> input, std::span<const Point> output) const;
    void showPlane(const Estimate& e);
    PlaneUnits measuredPlane() const;
    void startTool(Tool chosen);
    void endTool();
    bool measureKey(const QKeyEvent& event);
    void addToolPoint(QPoint position);
    void finishMeasurement();
    void drawMeasurements(QPainter& painter);
    void showMeasurements();
    void fillMeasurements();
    QString measurementsText(char separator) const;
    void exportMeasurements();

    std::map<int, QWidget*> controls;  // by template id
    QMenu* sysMenu = nullptr;
    QCheckBox* calibrationBox = nullptr;
    QListWidget* pickedList = nullptr;
    int pickedIndex = -1;
    QSize pointsFrame;
    // The frame the points belong to: the one they were clicked in, else the current one.
    QSize calibrationFrame() const;
    std::optional<PointLists> atPress;   // the lists when the button went down, until it is up
    std::optional<QPoint> addOnRelease;  // a press on a point, until it drags or is released
    std::vector<PointLists> undoSteps, redoSteps;
    std::string namedSource;  // one not in the list of cameras (--source), once seen
    bool snapClicks = false;  // the menu's "Snap clicks to corners", as remembered
    QFutureWatcher<std::vector<Point>>* chartSearch = nullptr;
    QSize chartFrame;               // the frame size of the picture searched
    QSize chartGrid;                // its chessboard's inner corners, cols × rows
    QAction* lensToggle = nullptr;  // "Correct lens distortion"
    PlaneUnits plane;               // no unit: output points are output pixels
    PlaneLayout outputLayout;       // the plane's, while one is shown
    Tool tool = Tool::none;
    std::vector<Point> toolPoints;  // output pixels of the measurement being clicked
    std::vector<MeasuredItem> measurements;
    QTableWidget* measurementsTable = nullptr;  // in the Measurements window, once opened
    std::optional<QPoint> pointer;              // over the output view, last seen
    std::vector<StraightLine> straightLines;
    bool addingLine = false;  // clicks in the input view go to the last line

  public:
    // A camera as the Camera menu and the messages name it: "Cam (/dev/video2)".
    static QString cameraText(const CameraDevice& device);

    // Where entry `index` of `list` is drawn in `view`; none for an entry that is no point of
    // the current frame.
    static std::optional<QPoint> entryOnView(const PictureView& view, const QListWidget& list,
                                             int index);

    // Bound to the template's controls by DoDataExchange; the dialog owns the widgets.
    QListWidget* homographyList = nullptr;
    QListWidget* outputPointList = nullptr;
    QListWidget* inputPointList = nullptr;
    PictureView* inputView = nullptr;
    PictureView* outputView = nullptr;
    // The rate Start Capture asks for, in frames per second.
    static constexpr int captureRate = 30;

    QIcon icon;                                    // icon resource 128
    std::unique_ptr<CaptureWindow> captureWindow;  // none until the first Start Capture
};

// Where a minimized window draws its icon: centred, (W − cx + 1) / 2 and (H − cy + 1) / 2,
// the divisions truncating toward zero.
QPoint minimizedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

// The points of a list, or nothing when an entry is not in the "%d,%d" form.
std::vector<Point> listedPoints(const QListWidget& list);
