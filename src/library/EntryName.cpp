#include "EntryName.h"

namespace vkv::library {

namespace {

// What Linux, Windows and macOS file systems between them refuse, or read as something else.
constexpr QStringView Forbidden = u"/\\:*?\"<>|";

} // namespace

QString EntryName::refusal(const QString &name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("A name is needed.");
    if (name != name.trimmed())
        return QStringLiteral("A name can't begin or end with a blank.");
    if (name.startsWith(u'.'))
        return QStringLiteral("A name can't begin with \".\": its file would be hidden.");
    for (const QChar c : name) {
        if (Forbidden.contains(c))
            return QStringLiteral("A name can't hold \"%1\": a file's name can't hold it on every "
                                  "disk the library may be copied to.")
                .arg(c);
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("A name can't hold a control character.");
    }
    if (name.toUtf8().size() > MaxBytes)
        return QStringLiteral("A name can be at most %1 bytes long as a file's name; this one "
                              "is %2.")
            .arg(MaxBytes)
            .arg(name.toUtf8().size());
    return {};
}

QString EntryName::fitted(const QString &text) {
    QString name;
    for (const QChar c : text)
        name += Forbidden.contains(c) || c.category() == QChar::Other_Control ? u'-' : c;
    name = name.trimmed();
    while (name.startsWith(u'.'))
        name = name.mid(1).trimmed();
    while (name.toUtf8().size() > MaxBytes)
        name.chop(1);
    return name.trimmed();
}

QString EntryName::fileName(const QString &name) {
    return name + QLatin1String(Suffix);
}

QString EntryName::fromFile(const QString &fileName) {
    return fileName.endsWith(QLatin1String(Suffix), Qt::CaseInsensitive)
               ? fileName.chopped(static_cast<int>(qstrlen(Suffix)))
               : fileName;
}

bool EntryName::same(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace vkv::library
