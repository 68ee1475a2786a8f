#include "app/AboutDlg.h"

#include <QPushButton>

#include "app/dialogBuilder.h"
#include "app/resource.h"
#include "app/windowServices.h"

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent) {
    const std::map<int, QWidget*> controls = buildDialog(*this, aboutDialogTemplate());
    setWindowIcon(loadIcon(mainIcon));
    // OK closes the box; Enter presses OK (the default button) and Esc cancels.
    connect(qobject_cast<QPushButton*>(controls.at(okButtonId)), &QPushButton::clicked, this,
            &QDialog::accept);
}
