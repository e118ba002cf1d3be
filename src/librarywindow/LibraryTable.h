#pragma once

#include <QTableView>
#include <functional>

namespace vkv::librarywindow {

// A table of the library's window: whole rows selected, nothing edited in place, rows as high as
// a line of text, the last column taking what is left of the width. Its rows come anew whenever
// the library changes; reselect() puts the selection back on what it was.
class LibraryTable : public QTableView {
    Q_OBJECT
public:
    // `name`: its object name, by which tests and tools find it.
    LibraryTable(const char *name, QWidget *parent);

protected:
    // Selects the rows that are `wanted`, and only those.
    void reselect(const std::function<bool(int)> &wanted);
};

} // namespace vkv::librarywindow
