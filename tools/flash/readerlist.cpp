#include "flash/readerlist.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// Size limit of a readers file: far above any site's, far below a mistake.
constexpr qint64 kLargestFile = 64 * 1024 * 1024;

struct Record {
    QStringList fields;
    int line = 0;
};

// The records of RFC 4180 text; false with the line of an unclosed quote.
bool records(const QString &text, QList<Record> &out, int &badLine)
{
    Record record{{QString()}, 1};
    int line = 1;
    bool quoted = false;
    bool any = false; // the record has a character or a separator
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                record.fields.last() += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                record.fields.last() += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && record.fields.last().isEmpty()) {
            quoted = any = true;
        } else if (c == QLatin1Char(',')) {
            record.fields << QString();
            any = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            if (any)
                out << record;
            ++line;
            record = Record{{QString()}, line};
            any = false;
        } else {
            record.fields.last() += c;
            any = true;
        }
    }
    if (quoted) {
        badLine = record.line;
        return false;
    }
    if (any)
        out << record;
    return true;
}

} // namespace

namespace ReaderList {

std::optional<QString> parse(const QByteArray &text, const QString &fileName,
                             QList<ReaderEntry> &entries)
{
    const auto refuse = [&fileName](int line, const QString &why) {
        return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(why);
    };
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(text);
    if (decoder.hasError())
        return QStringLiteral("%1: not UTF-8 text").arg(fileName);
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1);
    QList<Record> rows;
    int badLine = 0;
    if (!records(decoded, rows, badLine))
        return refuse(badLine, QStringLiteral("a quoted field is not closed"));
    if (rows.isEmpty())
        return QStringLiteral("%1: no header row").arg(fileName);

    QStringList header;
    const int headerLine = rows.front().line;
    for (const QString &name : rows.front().fields) {
        const QString column = name.trimmed().toLower();
        if (!kColumns.contains(column))
            return refuse(headerLine,
                          QStringLiteral("unknown column \"%1\" (columns: %2)")
                              .arg(name, kColumns.join(QLatin1Char(' '))));
        if (header.contains(column))
            return refuse(headerLine, QStringLiteral("column %1 twice").arg(column));
        header << column;
    }
    if (!header.contains(QLatin1String("port")))
        return refuse(headerLine, QStringLiteral("no port column"));

    entries.clear();
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const Record &row = rows[r];
        if (row.fields.size() != header.size())
            return refuse(row.line,
                          QStringLiteral("%1 fields; the header has %2")
                              .arg(row.fields.size())
                              .arg(header.size()));
        ReaderEntry entry;
        entry.line = row.line;
        for (qsizetype c = 0; c < header.size(); ++c) {
            const QString &column = header[c];
            const QString value = row.fields[c].trimmed();
            if (column == QLatin1String("port"))
                entry.port = value;
            else if (column == QLatin1String("name"))
                entry.name = value;
            else if (column == QLatin1String("site"))
                entry.site = value;
            else if (column == QLatin1String("label"))
                entry.label = value;
            else if (!value.isEmpty()) {
                QString reason;
                if (!OptionArguments::take(QStringLiteral("--") + column, value, entry.options,
                                           reason))
                    return refuse(
                        row.line,
                        QStringLiteral("column %1: %2").arg(column, reason.mid(column.size() + 3)));
            }
        }
        if (entry.port.isEmpty())
            return refuse(row.line, QStringLiteral("column port: empty"));
        entries << entry;
    }
    if (entries.isEmpty())
        return QStringLiteral("%1: no reader (only a header row)").arg(fileName);
    return std::nullopt;
}

std::optional<QString> read(const QString &fileName, QList<ReaderEntry> &entries)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(fileName, file.errorString());
    if (file.size() > kLargestFile)
        return QStringLiteral("%1: larger than 64 MiB").arg(fileName);
    return parse(file.readAll(), fileName, entries);
}

OptionArguments::Parsed merged(const OptionArguments::Parsed &commandLine,
                               const OptionArguments::Parsed &row)
{
    OptionArguments::Parsed result = commandLine;
    for (std::size_t slot = 0; slot < row.changes.codes.size(); ++slot) {
        if (row.changes.codes[slot]) {
            result.changes.codes[slot] = row.changes.codes[slot];
            result.shownValues[qsizetype(slot)] = row.shownValues[qsizetype(slot)];
        }
    }
    if (row.changes.relayTimeSeconds) {
        result.changes.relayTimeSeconds = row.changes.relayTimeSeconds;
        result.shownValues[OptionSlots::kSlotCount] = row.shownValues[OptionSlots::kSlotCount];
    }
    if (row.changes.facilityCode) {
        result.changes.facilityCode = row.changes.facilityCode;
        result.shownValues[OptionSlots::kSlotCount + 1]
            = row.shownValues[OptionSlots::kSlotCount + 1];
    }
    return result;
}

} // namespace ReaderList
