#pragma once

#include <QSortFilterProxyModel>

namespace vkv::overview {

// Which rows of a tab show: all, one bank's, or only those of records that send the same message
// as another. Rows come and go with the image, since the rows' data says which they are.
class RowFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit RowFilter(QObject *parent = nullptr);

    // 0: all; 1..16: that bank; Same: only the records that send the same.
    static constexpr int All = 0;
    static constexpr int Same = -1;
    void show(int rows);
    int shown() const { return rows; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int rows = All;
};

} // namespace vkv::overview
