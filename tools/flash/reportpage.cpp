#include "flash/reportpage.h"

#include "common/safefile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kLargestInput = 256 * 1024 * 1024;

struct Row {
    QJsonObject reader;
    QString site;
    QString runId;
    QDateTime started;
    QDateTime ended;
    bool failed = false;
};

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QDateTime timeOf(const QJsonValue &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QString colourOf(const QString &outcome)
{
    if (outcome == QLatin1String("Completed"))
        return QStringLiteral("#2e7d32");
    if (outcome == QLatin1String("NotStarted"))
        return QStringLiteral("#9e9e9e");
    if (outcome == QLatin1String("Running") || outcome.contains(QLatin1String("Cancelled")))
        return QStringLiteral("#f9a825");
    return QStringLiteral("#c62828");
}

// "Timeout at 0x0123, Timeout at 0x0123" from a reader's failures.
QString failuresOf(const QJsonObject &reader)
{
    QStringList texts;
    for (const QJsonValue &value : reader.value(QLatin1String("failures")).toArray()) {
        const QJsonObject failure = value.toObject();
        QString text = failure.value(QLatin1String("kind")).toString();
        const QJsonValue address = failure.value(QLatin1String("wordAddress"));
        if (address.isDouble())
            text += QStringLiteral(" at 0x%1").arg(address.toInt(), 4, 16, QLatin1Char('0'));
        texts << text;
    }
    return texts.join(QStringLiteral(", "));
}

QList<Row> rowsOf(const QList<QJsonObject> &runs)
{
    QList<Row> rows;
    for (const QJsonObject &run : runs) {
        for (const QJsonValue &value : run.value(QLatin1String("readers")).toArray()) {
            Row row;
            row.reader = value.toObject();
            row.site = row.reader.value(QLatin1String("site")).toString();
            if (row.site.isEmpty())
                row.site = run.value(QLatin1String("host")).toString();
            row.runId = run.value(QLatin1String("runId")).toString();
            row.started = timeOf(row.reader.value(QLatin1String("started")));
            row.ended = timeOf(row.reader.value(QLatin1String("ended")));
            row.failed = row.reader.value(QLatin1String("outcome")).toString()
                != QLatin1String("Completed");
            rows << row;
        }
    }
    // Failures first, then by site and port.
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        const auto key = [](const Row &row) {
            return std::tuple(!row.failed, row.site,
                              row.reader.value(QLatin1String("port")).toString());
        };
        return key(a) < key(b);
    });
    return rows;
}

QString totalsTable(const QList<Row> &rows)
{
    struct Counts {
        int readers = 0, completed = 0, failed = 0, notStarted = 0;
    };
    QMap<QString, Counts> sites;
    Counts all;
    for (const Row &row : rows) {
        const QString outcome = row.reader.value(QLatin1String("outcome")).toString();
        for (Counts *counts : {&sites[row.site], &all}) {
            ++counts->readers;
            if (outcome == QLatin1String("Completed"))
                ++counts->completed;
            else if (outcome == QLatin1String("NotStarted"))
                ++counts->notStarted;
            else
                ++counts->failed;
        }
    }
    QString html = QStringLiteral("<table id=\"totals\"><thead><tr><th>Site</th><th>Readers</th>"
                                  "<th>Completed</th><th>Failed</th><th>Not started</th></tr>"
                                  "</thead><tbody>");
    const auto line = [](const QString &name, const Counts &c, const char *cls) {
        // One pass: a name holding "%1" stays as it is.
        return QStringLiteral("<tr class=\"%1\"><td>%2</td><td>%3</td><td>%4</td><td>%5</td>"
                              "<td>%6</td></tr>")
            .arg(QLatin1String(cls), escaped(name), QString::number(c.readers),
                 QString::number(c.completed), QString::number(c.failed),
                 QString::number(c.notStarted));
    };
    for (auto it = sites.cbegin(); it != sites.cend(); ++it)
        html += line(it.key(), it.value(), "site");
    return html + line(QStringLiteral("All sites"), all, "total")
        + QStringLiteral("</tbody></table>");
}

QString readersTable(const QList<Row> &rows)
{
    QString html = QStringLiteral(
        "<table id=\"readers\" class=\"sortable\"><thead><tr><th>Site</th><th>Name</th>"
        "<th>Port</th><th>Outcome</th><th>Status</th><th>Records</th><th>Retries</th>"
        "<th>Failures</th><th>Started</th><th>Seconds</th></tr></thead><tbody>");
    for (const Row &row : rows) {
        const QJsonObject &r = row.reader;
        const QString outcome = r.value(QLatin1String("outcome")).toString();
        html += QStringLiteral("<tr class=\"reader%1\" data-outcome=\"%2\" data-run=\"%3\">")
                    .arg(row.failed ? QStringLiteral(" failed") : QString(), escaped(outcome),
                         escaped(row.runId));
        for (const QString &cell :
             {row.site, r.value(QLatin1String("name")).toString(),
              r.value(QLatin1String("port")).toString(), outcome,
              r.value(QLatin1String("status")).toString(),
              QString::number(r.value(QLatin1String("recordsAcknowledged")).toInt()),
              QString::number(r.value(QLatin1String("retries")).toInt()), failuresOf(r),
              r.value(QLatin1String("started")).toString(),
              QString::number(r.value(QLatin1String("durationSeconds")).toDouble(), 'f', 1)})
            html += QStringLiteral("<td>%1</td>").arg(escaped(cell));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</tbody></table>");
}

QString timeline(const QList<Row> &rows)
{
    QDateTime first;
    QDateTime last;
    for (const Row &row : rows) {
        if (row.started.isValid() && (!first.isValid() || row.started < first))
            first = row.started;
        if (row.ended.isValid() && (!last.isValid() || row.ended > last))
            last = row.ended;
    }
    constexpr int kWidth = 900;
    constexpr int kBar = 6;
    const double span = std::max<qint64>(1, first.msecsTo(last));
    QString svg = QStringLiteral("<svg id=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" "
                                 "width=\"%1\" height=\"%2\" role=\"img\">")
                      .arg(kWidth + 20)
                      .arg(int(rows.size()) * kBar + 24);
    int y = 0;
    for (const Row &row : rows) {
        const QString outcome = row.reader.value(QLatin1String("outcome")).toString();
        const double x = row.started.isValid() ? first.msecsTo(row.started) / span * kWidth : 0;
        const double width = row.started.isValid()
            ? std::max(1.0, row.started.msecsTo(row.ended) / span * kWidth)
            : 2.0;
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\">"
                              "<title>%6: %7</title></rect>")
                   .arg(x + 10, 0, 'f', 1)
                   .arg(y)
                   .arg(width, 0, 'f', 1)
                   .arg(kBar - 1)
                   .arg(colourOf(outcome),
                        escaped(row.reader.value(QLatin1String("port")).toString()),
                        escaped(outcome));
        y += kBar;
    }
    svg += QStringLiteral("<text x=\"10\" y=\"%1\" font-size=\"12\">%2 s from the first start"
                          "</text></svg>")
               .arg(y + 16)
               .arg(span / 1000.0, 0, 'f', 1);
    return svg;
}

QString firmwareList(const QList<QJsonObject> &runs)
{
    QString html = QStringLiteral("<table id=\"runs\"><thead><tr><th>Run</th><th>Host</th>"
                                  "<th>Started</th><th>Firmware</th><th>File SHA-256</th>"
                                  "<th>Sent SHA-256</th></tr></thead><tbody>");
    for (const QJsonObject &run : runs) {
        html += QStringLiteral("<tr>");
        for (const char *key :
             {"runId", "host", "started", "firmware", "firmwareFileSha256", "sentSha256"})
            html += QStringLiteral("<td><code>%1</code></td>")
                        .arg(escaped(run.value(QLatin1String(key)).toString()));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</tbody></table>");
}

// Sorting by a click on a column head; without scripts the table keeps the
// order it was written in (failures first).
const char *const kScript = R"(
document.querySelectorAll('table.sortable th').forEach(function (th, column) {
  th.addEventListener('click', function () {
    var body = th.closest('table').tBodies[0];
    var rows = Array.prototype.slice.call(body.rows);
    var up = th.dataset.up !== '1';
    th.dataset.up = up ? '1' : '0';
    rows.sort(function (a, b) {
      var x = a.cells[column].textContent, y = b.cells[column].textContent;
      var n = parseFloat(x) - parseFloat(y);
      var c = isNaN(n) ? x.localeCompare(y) : n;
      return up ? c : -c;
    });
    rows.forEach(function (row) { body.appendChild(row); });
  });
});
document.body.classList.add('scripted');
)";

const char *const kStyle = R"(
body { font-family: sans-serif; margin: 1.5em; color: #222; }
table { border-collapse: collapse; margin-bottom: 1.5em; font-size: 13px; }
th, td { border: 1px solid #ccc; padding: 3px 6px; text-align: left; }
th { background: #eee; }
.scripted table.sortable th { cursor: pointer; }
tr.failed td { background: #fdecea; }
tr.total td { font-weight: bold; }
code { font-size: 11px; }
)";

} // namespace

namespace ReportPage {

std::optional<QString> read(const QStringList &files, QList<QJsonObject> &runs)
{
    for (const QString &name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("%1: %2").arg(name, file.errorString());
        if (file.size() > kLargestInput)
            return QStringLiteral("%1: larger than 256 MiB").arg(name);
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(file.readAll(), &error).object();
        if (error.error != QJsonParseError::NoError
            || object.value(QLatin1String("program")).toString() != QLatin1String("corvant-flash"))
            return QStringLiteral("%1: not a report of corvant-flash").arg(name);
        if (object.contains(QLatin1String("runs"))) {
            for (const QJsonValue &run : object.value(QLatin1String("runs")).toArray())
                runs << run.toObject();
        } else {
            runs << object;
        }
    }
    return std::nullopt;
}

QByteArray merged(const QList<QJsonObject> &runs)
{
    QJsonArray array;
    for (const QJsonObject &run : runs)
        array.append(run);
    return QJsonDocument(QJsonObject{{QStringLiteral("program"), QStringLiteral("corvant-flash")},
                                     {QStringLiteral("merged"), 1},
                                     {QStringLiteral("runs"), array}})
        .toJson(QJsonDocument::Indented);
}

QByteArray html(const QList<QJsonObject> &runs, const QDateTime &generated)
{
    const QList<Row> rows = rowsOf(runs);
    QString page
        = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                         "<title>corvant-flash: %1 readers</title><style>%2</style>"
                         "</head><body><h1>Firmware rollout</h1><p>%3 runs, generated %4"
                         "</p>")
              .arg(rows.size())
              .arg(QLatin1String(kStyle))
              .arg(runs.size())
              .arg(generated.toUTC().toString(Qt::ISODate));
    page += QStringLiteral("<h2>Totals</h2>") + totalsTable(rows);
    page += QStringLiteral("<h2>Readers</h2>") + readersTable(rows);
    page += QStringLiteral("<h2>Timeline</h2>") + timeline(rows);
    page += QStringLiteral("<h2>Firmware</h2>") + firmwareList(runs);
    page += QStringLiteral("<script>%1</script></body></html>\n").arg(QLatin1String(kScript));
    return page.toUtf8();
}

int command(const QStringList &arguments)
{
    QStringList inputs;
    QString mergeFile;
    QString htmlFile;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--merge") || argument == QLatin1String("--html")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                std::fprintf(stderr, "corvant-flash report: %s needs a file\n",
                             argument.toLocal8Bit().constData());
                return 1;
            }
            (argument == QLatin1String("--merge") ? mergeFile : htmlFile) = arguments[++i];
        } else if (argument.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "corvant-flash report: unknown option %s\n",
                         argument.toLocal8Bit().constData());
            return 1;
        } else {
            inputs << argument;
        }
    }
    if (inputs.isEmpty() || (mergeFile.isEmpty() && htmlFile.isEmpty())) {
        std::fputs("usage: corvant-flash report REPORT.json... [--merge OUT.json] "
                   "[--html OUT.html]\n",
                   stderr);
        return 1;
    }
    QList<QJsonObject> runs;
    if (const std::optional<QString> refused = read(inputs, runs)) {
        std::fprintf(stderr, "corvant-flash report: %s\n", refused->toLocal8Bit().constData());
        return 2;
    }
    for (const auto &[file, bytes] :
         {std::pair{mergeFile, mergeFile.isEmpty() ? QByteArray() : merged(runs)},
          std::pair{htmlFile,
                    htmlFile.isEmpty() ? QByteArray()
                                       : html(runs, QDateTime::currentDateTimeUtc())}}) {
        QString error;
        if (!file.isEmpty() && !SafeFile::write(file, bytes, error)) {
            std::fprintf(stderr, "corvant-flash report: %s: %s\n", file.toLocal8Bit().constData(),
                         error.toLocal8Bit().constData());
            return 3;
        }
    }
    return 0;
}

} // namespace ReportPage
