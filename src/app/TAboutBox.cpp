#include "TAboutBox.h"

#include "ui_TAboutBox.h"

#include <QPushButton>

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::TAboutBox>()) {
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() = default;
