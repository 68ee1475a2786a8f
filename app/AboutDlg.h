// AboutDlg: the About box, template 100, opened modally from the dialog's menu.
#pragma once

#include <QDialog>

class AboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDlg(QWidget* parent = nullptr);
};
