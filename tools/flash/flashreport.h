#pragma once

#include "flash/flashrequest.h"
#include "flash/rack.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>

// The part of the image a write message belongs to.
enum class ImagePart { Program, Eeprom, CustomerCodes };

// What a download of the lines sends: those lines, each followed by CR LF,
// and the part of each write message, in order.
struct SentLines {
    QByteArray text;
    QList<ImagePart> parts;
};
SentLines sentLines(const RecordList &lines, const RecordFraming::Options &framing);

// What one reader was given: its names from a readers file, the values
// written into its own image, and what its download sends.
struct ReaderPlan {
    QString name;
    QString site;
    QString label;
    ImageOutput::OptionChanges values;
    CustomerSlots codes{}; // as its image holds them: what its sticker shows
    QByteArray sentSha256;
    QList<ImagePart> parts;
};

// The facts of one run beyond its readers.
struct FlashRun {
    static constexpr int kReportFormat = 1;

    QString runId; // a UUID
    QDateTime started;
    QDateTime ended;
    QByteArray firmwareFileSha256; // the file's bytes, as a release manifest lists them
    // The image as sent: its lines after the options were written, each
    // followed by CR LF, as a plain save writes the file...
    QByteArray imageSha256;
    // ...and only the lines that went to the readers, the same way.
    QByteArray sentSha256;
    QList<ImagePart> messageParts; // of one download
    QList<ReaderPlan> plans; // one per reader, in the rack's order
    // Each sticker printed (empty) or why not, by reader and unit.
    QHash<std::pair<int, int>, QString> stickers;
    QString continuesRunId; // the run a --rerun continues, and its report
    QString continuesReport;

    int exitCode = 0;
    int signal = 0; // the stopping signal, 0 when none came
    bool forced = false; // a second signal or the wait after the first ran out
};

// One reader's object of the report, also the journal's "end" line.
QJsonObject readerRecord(const ReaderResult &result);
// One failure as the report and the journal give it.
QJsonObject failureRecord(const ReaderFailure &failure);
// "SIGINT", "SIGTERM", "SIGHUP"...
QString signalName(int signal);
QString isoTime(const QDateTime &time);

// The JSON report of a run: the run's facts, the options written, what was
// sent, and one object per reader.
QByteArray flashReport(const FlashRequest &request, const FlashRun &run, const Rack &rack);
// The options written, by their names without dashes ("cf", "relay").
QJsonObject optionsWritten(const ImageOutput::OptionChanges &changes);
