#include "RecordWords.h"

#include "FieldText.h"
#include "MidiWords.h"

#include <algorithm>

namespace vkv::records {

namespace {

using Column = RecordWords::Column;

// The status bytes the pages store: 0x90..0xFF with bit 7 cleared.
bool plainStatus(int stored) {
    return stored >= 0x10 && stored <= 0x7F;
}

// A data byte as the sheet writes it: 0..127 in decimal, a stored byte above in hexadecimal.
QString dataText(int stored) {
    return stored <= 127 ? QString::number(stored)
                         : QStringLiteral("0x") + image::FieldText::hex(stored);
}

QString hexText(int stored) {
    return QStringLiteral("0x") + image::FieldText::hex(stored);
}

// "0x85", "0X7": one or two hexadecimal digits after 0x, nothing else.
std::optional<int> hexValue(QStringView text) {
    if (text.size() < 3 || text.size() > 4 || text[0] != u'0' ||
        (text[1] != u'x' && text[1] != u'X'))
        return std::nullopt;
    int value = 0;
    for (const QChar c : text.mid(2)) {
        const int digit = c >= u'0' && c <= u'9'   ? c.unicode() - u'0'
                          : c >= u'a' && c <= u'f' ? c.unicode() - u'a' + 10
                          : c >= u'A' && c <= u'F' ? c.unicode() - u'A' + 10
                                                   : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

// Decimal digits alone, at most three of them: no sign, no blanks within.
std::optional<int> decimalValue(QStringView text) {
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::nullopt_t fail(QString *why, const QString &text) {
    if (why)
        *why = text;
    return std::nullopt;
}

QString quoted(QStringView text) {
    return u'"' + text.toString() + u'"';
}

const QString &typeNames() {
    static const QString names = [] {
        QString list;
        for (int i = 0; i < image::FieldText::EventTypeCount; ++i)
            list += (i == 0                                      ? QString()
                     : i == image::FieldText::EventTypeCount - 1 ? QStringLiteral(" or ")
                                                                 : QStringLiteral(", ")) +
                    image::FieldText::eventType(0x90 + 16 * i);
        return list;
    }();
    return names;
}

} // namespace

QString RecordWords::columnWord(Column column) {
    static const std::array<QString, ColumnCount> words{
        QStringLiteral("record"), QStringLiteral("type"), QStringLiteral("channel"),
        QStringLiteral("number"), QStringLiteral("min"),  QStringLiteral("max"),
        QStringLiteral("value"),  QStringLiteral("mode")};
    return words[static_cast<std::size_t>(column)];
}

bool RecordWords::has(bool pot, Column column) {
    switch (column) {
    case Column::Min:
    case Column::Max:
        return pot;
    case Column::Value:
    case Column::Mode:
        return !pot;
    default:
        return true;
    }
}

int RecordWords::byteOf(Column column) {
    switch (column) {
    case Column::Record:
        return -1;
    case Column::Type:
    case Column::Channel:
        return 0;
    case Column::Number:
        return 1;
    case Column::Min:
    case Column::Value:
        return 2;
    case Column::Max:
    case Column::Mode:
        return 3;
    }
    return -1;
}

QString RecordWords::name(RecordId record) {
    char text[16];
    char *end = image::FieldText::bankNumber(text, record.bank(), record.number());
    return (record.pot ? QStringLiteral("pot ") : QStringLiteral("button ")) +
           QString::fromLatin1(text, static_cast<int>(end - text));
}

std::optional<RecordId> RecordWords::readName(QStringView text) {
    text = text.trimmed();
    const auto space = text.indexOf(u' ');
    if (space < 0)
        return std::nullopt;
    const QStringView kind = text.left(space);
    const QStringView place = text.mid(space + 1).trimmed();
    const bool pot = kind.compare(u"pot", Qt::CaseInsensitive) == 0;
    if (!pot && kind.compare(u"button", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const auto dot = place.indexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    const auto bank = decimalValue(place.left(dot));
    const auto number = decimalValue(place.mid(dot + 1));
    const int perBank = pot ? image::PotsPerBank : image::ButtonsPerBank;
    if (!bank || !number || *bank < 1 || *bank > image::PotCount / image::PotsPerBank ||
        *number < 1 || *number > perBank)
        return std::nullopt;
    return RecordId{pot, (*bank - 1) * perBank + *number - 1};
}

QString RecordWords::count(const std::vector<RecordId> &records) {
    const auto pots =
        std::count_if(records.begin(), records.end(), [](RecordId r) { return r.pot; });
    const auto n = static_cast<qsizetype>(records.size());
    const QString kind = pots == n   ? QStringLiteral("pot")
                         : pots == 0 ? QStringLiteral("button")
                                     : QStringLiteral("record");
    return QString::number(n) + u' ' + kind + (n == 1 ? QString() : QStringLiteral("s"));
}

QString RecordWords::span(const std::vector<RecordId> &records) {
    if (records.size() == 1)
        return name(records.front());
    if (records.empty())
        return count(records);
    return count(records) + QStringLiteral(": ") + name(records.front()) + QStringLiteral(" to ") +
           name(records.back());
}

RecordWords::Bytes RecordWords::bytes(const image::ConfigImage &image, RecordId record) {
    Bytes bytes;
    const auto *at = image.raw() + record.offset();
    std::copy(at, at + image::RecordSize, bytes.begin());
    return bytes;
}

QString RecordWords::text(const Bytes &bytes, RecordId record, Column column) {
    if (!has(record.pot, column))
        return {};
    const int status = bytes[0];
    switch (column) {
    case Column::Record:
        return name(record);
    case Column::Type:
        return plainStatus(status) ? image::FieldText::eventType(image::readStatus(bytes[0]))
                                   : hexText(status);
    case Column::Channel:
        return plainStatus(status) ? QString::number(status % 16 + 1) : QString();
    case Column::Mode:
        return bytes[3] < image::FieldText::ModeCount ? image::FieldText::mode(bytes[3])
                                                      : hexText(bytes[3]);
    default:
        return dataText(bytes[static_cast<std::size_t>(byteOf(column))]);
    }
}

QString RecordWords::message(const Bytes &bytes) {
    const int status = image::readStatus(bytes[0]);
    const QString number = dataText(bytes[1]);
    const QString channel = QString::number(status % 16 + 1);
    switch (status / 16) {
    case 0x8:
        return QStringLiteral("Note Off ") + number + QStringLiteral(" on channel ") + channel;
    case 0xF:
        return QStringLiteral("Meta Event ") + number + QStringLiteral(", Meta ID ") + channel;
    default:
        return image::FieldText::eventType(status) + u' ' + number +
               QStringLiteral(" on channel ") + channel;
    }
}

QString RecordWords::brief(const Bytes &bytes) {
    const int status = image::readStatus(bytes[0]);
    const int number = bytes[1];
    // "C4" of the monitor's "C4 (60)".
    const QString note = number <= 127
                             ? QString::fromStdString(midi::noteName(number)).section(u' ', 0, 0)
                             : dataText(number);
    const QString channel = QStringLiteral(" ch ") + QString::number(status % 16 + 1);
    switch (status / 16) {
    case 0x8:
        return QStringLiteral("Note Off ") + note + channel;
    case 0x9:
        return QStringLiteral("Note ") + note + channel;
    case 0xA:
        return QStringLiteral("Poly AT ") + note + channel;
    case 0xB:
        return QStringLiteral("CC ") + dataText(number) + channel;
    case 0xC:
        return QStringLiteral("Prog ") + dataText(number) + channel;
    case 0xD:
        return QStringLiteral("Ch AT ") + dataText(number) + channel;
    case 0xE:
        return QStringLiteral("Bend ") + dataText(number) + channel;
    default:
        return QStringLiteral("Meta ") + dataText(number) + QStringLiteral(" ID ") +
               QString::number(status % 16 + 1);
    }
}

QString RecordWords::range(const Bytes &bytes) {
    if (bytes[2] == 0 && bytes[3] == 127)
        return {};
    return dataText(bytes[2]) + u'-' + dataText(bytes[3]);
}

QString RecordWords::buttonValue(const Bytes &bytes) {
    switch (image::readStatus(bytes[0]) / 16) {
    case 0xC:
    case 0xD:
        return {};
    case 0x8:
    case 0x9:
        return QStringLiteral("vel ") + dataText(bytes[2]);
    default:
        return QStringLiteral("value ") + dataText(bytes[2]);
    }
}

std::optional<std::uint8_t> RecordWords::readStatus(QStringView type, QStringView channel,
                                                    QString *why) {
    type = type.trimmed();
    channel = channel.trimmed();
    if (type.isEmpty())
        return fail(why, QStringLiteral("no type: give ") + typeNames());
    if (const auto stored = hexValue(type)) {
        if (plainStatus(*stored))
            return fail(why, QStringLiteral("type %1: write %2 and channel %3")
                                 .arg(quoted(type), image::FieldText::eventType(image::readStatus(
                                                        static_cast<std::uint8_t>(*stored))))
                                 .arg(*stored % 16 + 1));
        if (!channel.isEmpty())
            return fail(why, QStringLiteral("channel %1 goes with an event type's name, not with "
                                            "a stored byte (%2); leave it empty")
                                 .arg(quoted(channel), type.toString()));
        return static_cast<std::uint8_t>(*stored);
    }
    int index = 0;
    while (index < image::FieldText::EventTypeCount &&
           type.compare(image::FieldText::eventType(0x90 + 16 * index), Qt::CaseInsensitive) != 0)
        ++index;
    if (index == image::FieldText::EventTypeCount)
        return fail(why, QStringLiteral("type %1 is no event type: give ").arg(quoted(type)) +
                             typeNames());
    const auto number = decimalValue(channel);
    if (!number || *number < 1 || *number > 16)
        return fail(why, channel.isEmpty()
                             ? QStringLiteral("no channel: give 1 to 16")
                             : QStringLiteral("channel %1 is not 1 to 16").arg(quoted(channel)));
    return image::storeStatus(0x90 + 16 * index + *number - 1);
}

std::optional<std::uint8_t> RecordWords::readByte(Column column, QStringView text, QString *why) {
    text = text.trimmed();
    const QString word = columnWord(column);
    const auto stored = hexValue(text);
    if (column == Column::Mode) {
        if (stored) {
            if (*stored < image::FieldText::ModeCount)
                return fail(why, QStringLiteral("mode %1: write %2")
                                     .arg(quoted(text), image::FieldText::mode(*stored)));
            return static_cast<std::uint8_t>(*stored);
        }
        for (int mode = 0; mode < image::FieldText::ModeCount; ++mode)
            if (text.compare(image::FieldText::mode(mode), Qt::CaseInsensitive) == 0)
                return static_cast<std::uint8_t>(mode);
        return fail(why, (text.isEmpty() ? QStringLiteral("no mode")
                                         : QStringLiteral("mode %1 is no mode").arg(quoted(text))) +
                             QStringLiteral(": give ON/OFF, ON ONLY or TOGGLE"));
    }
    if (stored) {
        if (*stored <= 127)
            return fail(why,
                        QStringLiteral("%1 %2: write %3").arg(word, quoted(text)).arg(*stored));
        return static_cast<std::uint8_t>(*stored);
    }
    const auto value = decimalValue(text);
    if (!value || *value > 127)
        return fail(why, text.isEmpty()
                             ? QStringLiteral("no %1: give 0 to 127").arg(word)
                             : QStringLiteral("%1 %2 is not 0 to 127").arg(word, quoted(text)));
    return static_cast<std::uint8_t>(*value);
}

} // namespace vkv::records
