#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Reports of several runs or sites: merged into one file that keeps every
// run whole, and rendered as one self-contained HTML page (inline CSS and
// SVG, a small inline script for sorting; nothing fetched).
namespace ReportPage {

// The reports in the files: a run's report, or a merged file's runs. The
// refusal names the file.
std::optional<QString> read(const QStringList &files, QList<QJsonObject> &runs);

// {"program": "corvant-flash", "merged": 1, "runs": [...]}.
QByteArray merged(const QList<QJsonObject> &runs);

// The page: totals overall and per site, the readers (failures first, each
// failure's kind and word address), a timeline with one bar per reader
// coloured by outcome, and each run's firmware with its SHA-256s.
QByteArray html(const QList<QJsonObject> &runs, const QDateTime &generated);

// corvant-flash report IN.json... [--merge OUT.json] [--html OUT.html]:
// the exit code (0, 1 usage, 2 an input that is no report, 3 an output
// not written).
int command(const QStringList &arguments);

} // namespace ReportPage
