#pragma once

#include "options/optionarguments.h"

#include <QString>
#include <QStringList>

#include <optional>

// What corvant-flash is asked to do, from its command line.
struct FlashRequest {
    static constexpr int kDefaultRetries = 3;
    static constexpr double kDefaultSearchTimeout = 60.0;
    static constexpr double kDefaultReplyTimeout = 10.0; // the window's

    QString firmware;
    QStringList ports; // port texts as the window takes them, one reader each
    QString readersFile; // a CSV file of readers with their own values
    QString rerunReport; // an earlier report: its readers that did not complete
    int jobs = 0; // downloads at once; 0: all
    int canary = 0; // readers flashed alone first
    int maxFailures = -1; // readers allowed to fail before no new one starts; -1: any
    bool maxFailuresPercent = false; // maxFailures is a percentage of the readers
    bool loop = false; // station mode: each port flashes one unit after another
    int units = 0; // units per port in station mode; 0: until stopped
    bool sticker = false; // a sticker for each unit that completes
    bool eeprom = false; // also EEPROM data (--eeprom, --all)
    // Also the customer code table (--codes, --all, or any code slot named).
    bool codes = false;
    OptionArguments::Parsed options;
    int retries = kDefaultRetries;
    double searchTimeout = kDefaultSearchTimeout; // seconds, 0: forever
    double replyTimeout = kDefaultReplyTimeout; // seconds
    QString reportFile; // empty: no report; "-": standard output
    QString logFile; // the journal; empty: none
    QString htmlFile; // the report as a page; empty: none
    bool quiet = false;
    bool help = false;
    bool version = false;
};

namespace FlashExit {
constexpr int kAllCompleted = 0;
constexpr int kUsage = 1;
constexpr int kBadInput = 2;
constexpr int kNotAllCompleted = 3;
} // namespace FlashExit

// A command line that cannot be run: the exit code and why.
struct FlashRefusal {
    int exitCode;
    QString message;
};

// The failures a run takes before it starts no further reader.
int failureLimit(const FlashRequest &request, int readers);

// Parses the arguments (without the program's name). Values of the reader
// options are checked as corvant-hextool patch checks them (exit 2); an
// unknown option, a missing value or firmware, no port, or a bad --retries
// is a usage error (exit 1).
std::optional<FlashRefusal> parseFlashRequest(const QStringList &arguments, FlashRequest &request);

extern const char *const kFlashUsage;
