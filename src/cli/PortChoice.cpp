#include "PortChoice.h"

#include <algorithm>

namespace vkv::cli {

PortChoice PortChoice::find(const QStringList &names, const QString &wanted) {
    PortChoice choice;
    const auto found = [&choice](int index) {
        choice.outcome = Outcome::Found;
        choice.index = index;
        return choice;
    };
    if (wanted.isEmpty())
        return choice;
    const auto exact = names.indexOf(wanted);
    if (exact >= 0)
        return found(static_cast<int>(exact));
    bool number = false;
    const int n = wanted.toInt(&number);
    // Digits only: "+1" or " 1" are no numbers a list shows.
    const bool digits =
        std::all_of(wanted.begin(), wanted.end(), [](QChar c) { return c.isDigit(); });
    if (number && digits)
        return n < names.size() ? found(n) : choice;
    for (int i = 0; i < names.size(); ++i)
        if (names[i].startsWith(wanted))
            choice.candidates << i;
    if (choice.candidates.size() == 1)
        return found(choice.candidates.takeFirst());
    if (choice.candidates.size() > 1)
        choice.outcome = Outcome::Ambiguous;
    return choice;
}

} // namespace vkv::cli
