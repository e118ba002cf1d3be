#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vkv::cli {

// Which port of a list a command line means: a name as the list shows it, the start of exactly
// one name (so a client's name alone picks its only port), or a number in the list. A whole name
// wins over a number, and a number over a prefix.
class PortChoice {
public:
    enum class Outcome { Found, NotFound, Ambiguous };

    static PortChoice find(const QStringList &names, const QString &wanted);

    Outcome outcome = Outcome::NotFound;
    int index = -1;        // when Found
    QList<int> candidates; // when Ambiguous: every port the prefix fits
};

} // namespace vkv::cli
