#include "Conflicts.h"

#include "RecordWords.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace vkv::records {

namespace {

// A message as one number: status 0x80..0xFF and the number 0..255.
int keyOf(const image::ConfigImage &image, RecordId record) {
    const std::uint8_t *bytes = image.raw() + record.offset();
    return image::readStatus(bytes[0]) << 8 | bytes[1];
}

} // namespace

std::vector<Conflicts::Group> Conflicts::find(const image::ConfigImage &image) {
    std::array<std::pair<int, int>, RecordCount> keyed; // key, order
    for (int order = 0; order < RecordCount; ++order)
        keyed[static_cast<std::size_t>(order)] = {keyOf(image, RecordId::fromOrder(order)), order};
    std::sort(keyed.begin(), keyed.end());
    std::vector<Group> groups;
    for (std::size_t i = 0; i < keyed.size();) {
        std::size_t end = i + 1;
        while (end < keyed.size() && keyed[end].first == keyed[i].first)
            ++end;
        if (end - i > 1) {
            Group group{keyed[i].first >> 8, keyed[i].first & 0xFF, {}};
            for (std::size_t k = i; k < end; ++k)
                group.records.push_back(RecordId::fromOrder(keyed[k].second));
            groups.push_back(std::move(group));
        }
        i = end;
    }
    std::sort(groups.begin(), groups.end(),
              [](const Group &a, const Group &b) { return a.records.front() < b.records.front(); });
    return groups;
}

std::vector<RecordId> Conflicts::sending(const image::ConfigImage &image, int status, int number) {
    std::vector<RecordId> records;
    const int key = status << 8 | number;
    for (int order = 0; order < RecordCount; ++order)
        if (keyOf(image, RecordId::fromOrder(order)) == key)
            records.push_back(RecordId::fromOrder(order));
    return records;
}

QString Conflicts::line(const image::ConfigImage &image, const Group &group) {
    QStringList names;
    for (const RecordId record : group.records)
        names << RecordWords::name(record);
    return RecordWords::message(RecordWords::bytes(image, group.records.front())) +
           QStringLiteral(": ") + names.join(QStringLiteral(", "));
}

} // namespace vkv::records
