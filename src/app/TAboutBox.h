#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutBox;
}

// The credits of the program, shown modally from the main window; "Okay" closes it.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;

    std::unique_ptr<Ui::TAboutBox> ui;
};
