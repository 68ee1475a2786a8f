// "Plane coordinates…": where each input point lies on the plane, in a unit the user names,
// and how the output frame shows the plane (units per output pixel and which part). An empty
// unit goes back to output points in pixels.
#pragma once

#include <QDialog>
#include <QSize>
#include <QStringList>

#include <optional>

#include "calib/planeUnits.h"

class QComboBox;
class QLineEdit;
class QTableWidget;

class PlaneDialog : public QDialog {
    Q_OBJECT

  public:
    // One row per input point (its list text), filled from `plane` where it has the row;
    // `chart`, when not empty, is the found chessboard's cols × rows, for "Fill from chart".
    PlaneDialog(QWidget* parent, const QStringList& inputRows, const PlaneUnits& plane,
                QSize chart);

    // The plane as typed, or what is wrong with it (a cell or field that is not a number).
    std::optional<PlaneUnits> plane(QString& problem) const;

  private:
    void fillFromChart();

    QLineEdit* unit;
    QTableWidget* table;
    QLineEdit* scale;
    QComboBox* extent;
    QLineEdit* margin;
    QLineEdit* rectangle;  // x,y,w,h
    QLineEdit* square;     // the chart's square size
    QSize chartGrid;
};
