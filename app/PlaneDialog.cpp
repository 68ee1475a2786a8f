#include "app/PlaneDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A number as typed, in the C locale whatever the user's says: "12.5".
std::optional<double> number(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString text(double value) {
    return QLocale::c().toString(value, 'g', 12);
}

const char* const extentNames[] = {"fit", "points", "rectangle"};

}  // namespace

PlaneDialog::PlaneDialog(QWidget* parent, const QStringList& inputRows, const PlaneUnits& plane,
                         QSize chart)
    : QDialog(parent),
      unit(new QLineEdit(plane.unit.empty() ? QStringLiteral("mm")
                                            : QString::fromStdString(plane.unit))),
      table(new QTableWidget(int(inputRows.size()), 3)),
      scale(new QLineEdit(text(plane.scale))),
      extent(new QComboBox),
      margin(new QLineEdit(text(plane.margin))),
      rectangle(new QLineEdit(QStringLiteral("%1,%2,%3,%4")
                                  .arg(text(plane.rectangle.x), text(plane.rectangle.y),
                                       text(plane.rectangle.width), text(plane.rectangle.height)))),
      square(new QLineEdit(QStringLiteral("25"))),
      chartGrid(chart) {
    setWindowTitle(QStringLiteral("Plane coordinates"));
    for (QLineEdit* field : {unit, scale, margin, rectangle, square}) {
        field->setObjectName(field == unit        ? "unit"
                             : field == scale     ? "scale"
                             : field == margin    ? "margin"
                             : field == rectangle ? "rectangle"
                                                  : "square");
    }
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Input point"), QStringLiteral("X"), QStringLiteral("Y")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < table->rowCount(); ++row) {
        auto* input = new QTableWidgetItem(inputRows[row]);
        input->setFlags(input->flags() & ~Qt::ItemIsEditable);
        table->setItem(row, 0, input);
        const bool known = std::size_t(row) < plane.points.size();
        table->setItem(row, 1, new QTableWidgetItem(known ? text(plane.points[row].x) : ""));
        table->setItem(row, 2, new QTableWidgetItem(known ? text(plane.points[row].y) : ""));
    }
    for (const char* name : extentNames) {
        extent->addItem(QString::fromLatin1(name));
    }
    extent->setCurrentIndex(int(plane.extent));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Unit"), unit);
    form->addRow(QStringLiteral("Units per output pixel"), scale);
    form->addRow(QStringLiteral("Show"), extent);
    form->addRow(QStringLiteral("Margin (points)"), margin);
    form->addRow(QStringLiteral("Rectangle X,Y,W,H"), rectangle);
    auto* fill = new QPushButton(QStringLiteral("Fill from chart"));
    fill->setEnabled(!chartGrid.isEmpty() &&
                     chartGrid.width() * chartGrid.height() == table->rowCount());
    connect(fill, &QPushButton::clicked, this, &PlaneDialog::fillFromChart);
    form->addRow(QStringLiteral("Chart square size"), square);
    form->addRow(QString(), fill);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

// The found chart's corners come row by row: corner k is square size × (k mod cols, k div cols).
void PlaneDialog::fillFromChart() {
    const std::optional<double> size = number(square->text());
    for (int k = 0; size && k < table->rowCount(); ++k) {
        table->item(k, 1)->setText(text(*size * (k % chartGrid.width())));
        table->item(k, 2)->setText(text(*size * (k / chartGrid.width())));
    }
}

std::optional<PlaneUnits> PlaneDialog::plane(QString& problem) const {
    PlaneUnits p;
    p.unit = unit->text().trimmed().toStdString();
    if (p.unit.empty()) {
        return p;  // pixels again
    }
    for (int row = 0; row < table->rowCount(); ++row) {
        const std::optional<double> x = number(table->item(row, 1)->text());
        const std::optional<double> y = number(table->item(row, 2)->text());
        if (!x || !y) {
            problem = QStringLiteral("Point %1 has no plane coordinates.").arg(row + 1);
            return std::nullopt;
        }
        p.points.push_back({*x, *y});
    }
    const std::optional<double> s = number(scale->text()), m = number(margin->text());
    const QStringList r = rectangle->text().split(',');
    std::optional<double> rect[4];
    for (int i = 0; i < 4 && r.size() == 4; ++i) {
        rect[i] = number(r[i]);
    }
    if (!s || !m || !rect[0] || !rect[1] || !rect[2] || !rect[3]) {
        problem = QStringLiteral("The scale, the margin and the rectangle must be numbers.");
        return std::nullopt;
    }
    p.scale = *s;
    p.margin = *m;
    p.extent = PlaneExtent(extent->currentIndex());
    p.rectangle = {*rect[0], *rect[1], *rect[2], *rect[3]};
    return p;
}
