#pragma once

#include "options/optionarguments.h"

#include <QList>
#include <QString>

#include <optional>

// One reader of a --readers file: its port, the names that identify it in
// the report, and its own option values (empty cells: the command line's).
struct ReaderEntry {
    QString port;
    QString name;
    QString site;
    QString label;
    OptionArguments::Parsed options; // this row's values only
    int line = 0; // where the row starts in the file, from 1
};

namespace ReaderList {

// The columns a file may have; "port" is required.
inline const QStringList kColumns{
    QStringLiteral("port"),     QStringLiteral("name"), QStringLiteral("site"),
    QStringLiteral("cf"),       QStringLiteral("df"),   QStringLiteral("gf"),
    QStringLiteral("c"),        QStringLiteral("d"),    QStringLiteral("g"),
    QStringLiteral("a"),        QStringLiteral("b"),    QStringLiteral("relay"),
    QStringLiteral("facility"), QStringLiteral("label")};

// Parses CSV text (RFC 4180: quoted fields with doubled quotes and line
// breaks, CRLF or LF, a header row, UTF-8 with or without a byte-order
// mark). Every value is checked; the first bad one is refused as
// "FILE:LINE: column COLUMN: why" (or "FILE:LINE: why"), nothing returned.
std::optional<QString> parse(const QByteArray &text, const QString &fileName,
                             QList<ReaderEntry> &entries);
std::optional<QString> read(const QString &fileName, QList<ReaderEntry> &entries);

// The command line's values with a row's own on top.
OptionArguments::Parsed merged(const OptionArguments::Parsed &commandLine,
                               const OptionArguments::Parsed &row);

} // namespace ReaderList
