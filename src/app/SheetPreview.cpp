#include "SheetPreview.h"

#include "SyxFile.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vkv::app {

namespace {

// Letter where the user's locale prints on it, else A4.
QPageSize::PageSizeId localPaper() {
    switch (QLocale().territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
        return QPageSize::Letter;
    default:
        return QPageSize::A4;
    }
}

} // namespace

SheetPreview::SheetPreview(const image::ConfigImage &image,
                           const sheet::ConfigurationSheet::Heading &heading,
                           const FileChooser &chooseFile, const QString &folder, QWidget *parent)
    : QDialog(parent), image(image), heading(heading), chooseFile(chooseFile), folder(folder),
      paper(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName("SheetPreview");
    setWindowTitle("Print " +
                   (heading.name.isEmpty() ? QStringLiteral("the configuration") : heading.name));
    paper->setPageOrientation(QPageLayout::Landscape);
    paper->setPageSize(QPageSize(localPaper()));
    paper->setDocName(heading.name);

    preview = new QPrintPreviewWidget(paper.get(), this);
    preview->setObjectName("SheetPages");
    preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    preview->setZoomMode(QPrintPreviewWidget::FitInView);
    connect(preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *printer) {
        sheet::ConfigurationSheet::paint(*printer, this->image, this->heading);
    });

    size = new QComboBox(this);
    size->setObjectName("SheetPaper");
    size->addItem("A4", static_cast<int>(QPageSize::A4));
    size->addItem("Letter", static_cast<int>(QPageSize::Letter));
    size->setCurrentIndex(localPaper() == QPageSize::Letter ? 1 : 0);
    connect(size, &QComboBox::activated, this, &SheetPreview::paperChosen);
    auto *paperLabel = new QLabel("Paper :", this);
    paperLabel->setBuddy(size);

    auto *printButton = new QPushButton("Print ...", this);
    printButton->setObjectName("SheetPrint");
    connect(printButton, &QPushButton::clicked, this, &SheetPreview::print);
    auto *pdfButton = new QPushButton("Save as PDF ...", this);
    pdfButton->setObjectName("SheetSavePdf");
    connect(pdfButton, &QPushButton::clicked, this, &SheetPreview::saveAsPdf);
    auto *close = new QPushButton("Close", this);
    close->setObjectName("SheetClose");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    note = new QLabel(this);
    note->setObjectName("SheetNote");
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(paperLabel);
    buttons->addWidget(size);
    buttons->addStretch(1);
    buttons->addWidget(printButton);
    buttons->addWidget(pdfButton);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(preview, 1);
    layout->addWidget(note);
    layout->addLayout(buttons);
    printButton->setDefault(true);
    resize(900, 680);
}

SheetPreview::~SheetPreview() = default;

int SheetPreview::pageCount() const {
    return preview->pageCount();
}

QPageSize::PageSizeId SheetPreview::chosenSize() const {
    return static_cast<QPageSize::PageSizeId>(size->currentData().toInt());
}

void SheetPreview::paperChosen() {
    paper->setPageSize(QPageSize(chosenSize()));
    paper->setPageOrientation(QPageLayout::Landscape);
    preview->updatePreview();
}

void SheetPreview::print() {
    QPrintDialog dialog(paper.get(), this);
    dialog.setObjectName("SheetPrintDialog");
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The print dialog's paper is the sheet's now; the preview shows it.
    const QPageSize chosen = paper->pageLayout().pageSize();
    const int index = size->findData(static_cast<int>(chosen.id()));
    if (index >= 0)
        size->setCurrentIndex(index);
    if (sheet::ConfigurationSheet::paint(*paper, image, heading))
        note->setText(
            "Sent to " +
            (paper->outputFileName().isEmpty() ? paper->printerName() : paper->outputFileName()) +
            ".");
    else
        note->setText("The printer did not take the sheet; nothing was printed.");
    preview->updatePreview();
}

void SheetPreview::saveAsPdf() {
    if (!pdfDialog) {
        pdfDialog = new QFileDialog(this, "Save as PDF");
        pdfDialog->setObjectName("SheetPdfDialog");
        pdfDialog->setAcceptMode(QFileDialog::AcceptSave);
        pdfDialog->setNameFilters({"PDF (*.pdf)"});
        pdfDialog->setDefaultSuffix("pdf");
        pdfDialog->setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
        const QString name = QFileInfo(heading.name).completeBaseName();
        pdfDialog->selectFile((name.isEmpty() ? QStringLiteral("configuration") : name) + ".pdf");
    }
    const auto chosen = chooseFile(pdfDialog);
    if (!chosen)
        return;
    const QByteArray pdf = sheet::ConfigurationSheet::pdf(image, heading, chosenSize());
    QString why = pdf.isEmpty() ? QStringLiteral("the sheet could not be made") : QString();
    if (why.isEmpty() && image::SyxFile::write(chosen->file, pdf, &why)) {
        note->setText("Saved as " + chosen->file + ".");
        return;
    }
    note->setText("Not saved: " + chosen->file + ": " + why + ".");
}

} // namespace vkv::app
