#pragma once

#include "ConfigImage.h"
#include "ConfigurationSheet.h"
#include "FileChooser.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QFileDialog;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;

namespace vkv::app {

// "Print ...": the sheet of the configuration as it was when the preview opened, page by page,
// with the paper to print it on (A4 or Letter, landscape), "Print ..." through the system's print
// dialog (whose page size then counts), and "Save as PDF ...". What was saved, or why it was not,
// shows under the pages.
class SheetPreview : public QDialog {
    Q_OBJECT
public:
    SheetPreview(const image::ConfigImage &image, const sheet::ConfigurationSheet::Heading &heading,
                 const FileChooser &chooseFile, const QString &folder, QWidget *parent);
    ~SheetPreview() override;

    // Pages the preview shows.
    int pageCount() const;
    QPrinter &printer() { return *paper; }

    void print();
    void saveAsPdf();

private:
    QPageSize::PageSizeId chosenSize() const;
    void paperChosen();

    image::ConfigImage image;
    sheet::ConfigurationSheet::Heading heading;
    const FileChooser &chooseFile;
    QString folder;
    std::unique_ptr<QPrinter> paper;
    QPrintPreviewWidget *preview;
    QComboBox *size;
    QLabel *note;
    QFileDialog *pdfDialog = nullptr;
};

} // namespace vkv::app
