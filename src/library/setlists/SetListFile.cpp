#include "SetListFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

namespace vkv::library {

namespace {

const QString ChannelLine = QStringLiteral("# channel ");

} // namespace

SetListFile::Read SetListFile::parse(const QByteArray &text) {
    Read read;
    QHash<int, int> lineOf; // a program's line
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype at = 0; at < lines.size(); ++at) {
        const int number = static_cast<int>(at) + 1;
        QString line = QString::fromUtf8(lines[at]);
        if (line.endsWith(u'\r'))
            line.chop(1);
        const auto damaged = [&](const QString &why) {
            read.damaged << QStringLiteral("line %1: %2").arg(number).arg(why);
        };
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(u'#')) {
            if (!line.startsWith(ChannelLine))
                continue;
            const QString given = line.mid(ChannelLine.size());
            if (const auto channel = SetList::channelFrom(given))
                read.list.channel = *channel;
            else
                damaged(QStringLiteral("\"%1\" is no channel (1 to 16, or any)").arg(given));
            continue;
        }
        const qsizetype tab = line.indexOf(u'\t');
        if (tab < 0) {
            damaged(QStringLiteral("no tab between the program number and the configuration's "
                                   "name"));
            continue;
        }
        const QString given = line.left(tab).trimmed();
        bool isNumber = false;
        const int program = given.toInt(&isNumber);
        if (!isNumber || program < 0 || program >= SetList::Programs) {
            damaged(QStringLiteral("\"%1\" is no program number (0 to 127)").arg(given));
            continue;
        }
        const QString name = line.mid(tab + 1).trimmed();
        if (name.isEmpty()) {
            damaged(QStringLiteral("no configuration's name after the program number"));
            continue;
        }
        if (lineOf.contains(program)) {
            damaged(QStringLiteral("program %1 has a slot on line %2 already")
                        .arg(program)
                        .arg(lineOf.value(program)));
            continue;
        }
        lineOf.insert(program, number);
        read.list.slotList.push_back({program, name});
    }
    return read;
}

QByteArray SetListFile::text(const SetList &list) {
    QString text = ChannelLine + SetList::channelText(list.channel) + u'\n';
    for (const SetList::Slot &slot : list.slotList)
        text += QString::number(slot.program) + u'\t' + slot.name + u'\n';
    return text.toUtf8();
}

std::optional<SetListFile::Read> SetListFile::read(const QString &path, QString *why) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = QFileInfo::exists(path) ? file.errorString()
                                           : QStringLiteral("the file is not there");
        return std::nullopt;
    }
    // 128 slots of the longest names come to some 26 KB: a far larger file is no set list.
    constexpr qint64 Limit = 1 << 20;
    const QByteArray bytes = file.read(Limit + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > Limit) {
        if (why)
            *why = bytes.size() > Limit ? QStringLiteral("it is longer than a set list can be")
                                        : file.errorString();
        return std::nullopt;
    }
    return parse(bytes);
}

bool SetListFile::write(const QString &path, const SetList &list, QString *why) {
    QSaveFile file(path);
    const QByteArray bytes = text(list);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

QString SetListFile::fileName(const QString &name) {
    return name + QLatin1String(Suffix);
}

QString SetListFile::fromFile(const QString &fileName) {
    return fileName.endsWith(QLatin1String(Suffix), Qt::CaseInsensitive)
               ? fileName.chopped(static_cast<int>(qstrlen(Suffix)))
               : fileName;
}

} // namespace vkv::library
