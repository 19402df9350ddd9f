#pragma once

#include <QDialog>

namespace rg {

// Dialog 141 "About": a picture, "Reelgrab v 1.1", a line about the program, and "OK".
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace rg
