#include "TAboutBox.h"

#include "ui_TAboutBox.h"

#include <QPushButton>

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent), ui(new Ui::TAboutBox) {
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() {
    delete ui;
}
