#include "CsvReader.h"

namespace vkv::records {

namespace {

class Splitter {
public:
    Splitter(const QString &text, char16_t separator) : text(text), separator(separator) {}

    std::vector<CsvReader::Row> rows() {
        std::vector<CsvReader::Row> all;
        while (at < text.size()) {
            CsvReader::Row row;
            row.line = line;
            readRow(row);
            all.push_back(std::move(row));
        }
        return all;
    }

private:
    bool lineEnd(QChar c) const { return c == u'\n' || c == u'\r'; }

    // Past a line end at `at`: CR LF counts as one.
    void passLineEnd() {
        if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
            ++at;
        ++at;
        ++line;
    }

    // Gives up on the rest of a malformed row's line.
    void skipLine(CsvReader::Row &row, const QString &why) {
        row.error = why;
        while (at < text.size() && !lineEnd(text[at]))
            ++at;
        if (at < text.size())
            passLineEnd();
    }

    void readRow(CsvReader::Row &row) {
        for (;;) {
            QString field;
            if (at < text.size() && text[at] == u'"') {
                if (!readQuoted(row, field))
                    return;
            } else {
                while (at < text.size() && text[at] != separator && !lineEnd(text[at])) {
                    if (text[at] == u'"')
                        return skipLine(row, QStringLiteral("a quote inside a field that does not "
                                                            "begin with one"));
                    field += text[at++];
                }
            }
            row.fields << field;
            if (at >= text.size())
                return;
            if (text[at] != separator) {
                passLineEnd();
                return;
            }
            ++at;
        }
    }

    // A field in quotes, up to its closing quote, which a comma, a line end or the end of the text
    // must follow.
    bool readQuoted(CsvReader::Row &row, QString &field) {
        ++at;
        for (;;) {
            if (at >= text.size()) {
                row.error = QStringLiteral("a quote opened on this line is never closed");
                return false;
            }
            const QChar c = text[at];
            if (c == u'"') {
                if (at + 1 < text.size() && text[at + 1] == u'"') {
                    field += c;
                    at += 2;
                    continue;
                }
                ++at;
                break;
            }
            if (c == u'\n' || (c == u'\r' && !(at + 1 < text.size() && text[at + 1] == u'\n')))
                ++line;
            field += c;
            ++at;
        }
        if (at < text.size() && text[at] != separator && !lineEnd(text[at])) {
            skipLine(row, QStringLiteral("a field goes on after its closing quote"));
            return false;
        }
        return true;
    }

    const QString &text;
    const char16_t separator;
    qsizetype at = 0;
    int line = 1;
};

} // namespace

std::vector<CsvReader::Row> CsvReader::read(QByteArrayView bytes, char16_t separator) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const QString text = QString::fromUtf8(bytes);
    return Splitter(text, separator).rows();
}

} // namespace vkv::records
