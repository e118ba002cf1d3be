#pragma once

#include "ConfigImage.h"

#include <QByteArray>
#include <QDate>
#include <QPageSize>
#include <QString>

class QPagedPaintDevice;

namespace vkv::sheet {

// The configuration on paper, to keep beside the box: a block a bank, titled "Bank N", four banks
// to a landscape page and four pages. A block draws the bank's 16 pots as knobs in the box's two
// rows of eight, each with what it sends and, where it is not 0-127, its range (also drawn as an
// arc round the knob), and the bank's 8 buttons with what they send and their mode. Records that
// send the same message as another carry a mark with the number of their group, which a legend on
// every page explains. A header names the configuration and says when and by what it was printed;
// a footer numbers the pages.
//
// The words come from the records' one set of words. Text stays text (selectable and searchable in
// a PDF) and is never smaller than 7 points: a label too long for its place is set smaller down to
// that, then shortened with an ellipsis. Black on white with one accent colour, so a
// black-and-white printer keeps it readable. It paints on any paged device: a PDF writer, or the
// printer a print dialog has set up, in whatever page size that has.
class ConfigurationSheet {
public:
    static constexpr int BanksPerPage = 4;
    static constexpr int PageCount = 16 / BanksPerPage;
    static constexpr double SmallestPoints = 7.0;

    struct Heading {
        QString name; // the configuration's: the library entry's or the file's
        QDate date;
        QString program; // the program and its version, "vkvela 0.1"
    };

    // Paints every page on `device`, starting on the page it is at; false when the device would
    // not be painted on.
    static bool paint(QPagedPaintDevice &device, const image::ConfigImage &image,
                      const Heading &heading);
    // The sheet as a PDF, on landscape pages of `size` with margins of 10 mm; empty when it could
    // not be made.
    static QByteArray pdf(const image::ConfigImage &image, const Heading &heading,
                          QPageSize::PageSizeId size);
};

} // namespace vkv::sheet
