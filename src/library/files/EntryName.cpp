#include "EntryName.h"

#include <QStringList>

namespace vkv::library {

namespace {

// What Linux, Windows and macOS file systems between them refuse, or read as something else.
constexpr QStringView Forbidden = u"/\\:*?\"<>|";

// The part of a name Windows reads as a device's ("CON" of "con.live set"), or "" when it has
// none: no file there can be called so, whatever ending follows.
QString device(const QString &name) {
    const QString stem = name.section(u'.', 0, 0);
    const QString bare = stem.trimmed().toUpper();
    static const QStringList devices = [] {
        QStringList list{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                         QStringLiteral("NUL")};
        for (int n = 1; n <= 9; ++n)
            list << QStringLiteral("COM%1").arg(n) << QStringLiteral("LPT%1").arg(n);
        return list;
    }();
    return devices.contains(bare) ? stem : QString();
}

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
    if (const QString stem = device(name); !stem.isEmpty())
        return QStringLiteral("A name can't be \"%1\", with or without an ending: Windows keeps "
                              "it for a device, so no file there can have it.")
            .arg(stem.trimmed());
    if (name.toUtf8().size() > MaxBytes)
        return QStringLiteral("A name can be at most %1 bytes long as a file's name; this one "
                              "is %2.")
            .arg(MaxBytes)
            .arg(name.toUtf8().size());
    return {};
}

QString EntryName::fitted(const QString &text) {
    QString name;
    for (const QChar c : text.normalized(QString::NormalizationForm_C))
        name += Forbidden.contains(c) || c.category() == QChar::Other_Control ? u'-' : c;
    name = name.trimmed();
    while (name.startsWith(u'.'))
        name = name.mid(1).trimmed();
    // "CON" becomes "CON-", "com1.old" "com1-.old": a name like it that Windows leaves alone.
    if (const QString stem = device(name); !stem.isEmpty())
        name = stem.trimmed() + u'-' + name.mid(stem.size());
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

QString EntryName::folded(const QString &name) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

bool EntryName::same(const QString &a, const QString &b) {
    return folded(a) == folded(b);
}

} // namespace vkv::library
