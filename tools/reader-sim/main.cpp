// corvant-reader-sim: a reader bootloader for tests, demos and technicians
// without hardware.
#include "common/loggingrules.h"
#include "common/safefile.h"
#include "common/stopsignals.h"
#include "common/version.h"
#include "reader-sim/simulatorserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// A non-negative integer option; absent gives fallback.
int count(const QCommandLineParser &parser, const QCommandLineOption &option, int fallback,
          bool &ok)
{
    if (!parser.isSet(option))
        return fallback;
    bool good = false;
    const int value = parser.value(option).toInt(&good, 10);
    ok = ok && good && value >= 0;
    return value;
}

QSet<int> numbers(const QStringList &values, bool &ok)
{
    QSet<int> set;
    for (const QString &value : values) {
        for (const QString &part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool good = false;
            const int n = part.toInt(&good);
            ok = ok && good && n > 0;
            set.insert(n);
        }
    }
    return set;
}

// Listens with every server on consecutive ports from first; from a free
// port when first is 0, trying again elsewhere when one of the run is taken.
std::vector<quint16> listenConsecutive(const std::vector<std::unique_ptr<SimulatorServer>> &servers,
                                       quint16 first)
{
    for (int attempt = 0;; ++attempt) {
        std::vector<quint16> ports;
        // After a rack has run, its closed connections hold scattered
        // ephemeral ports for a minute: later tries start below them.
        const int count = int(servers.size());
        const quint16 start = first != 0 || attempt == 0
            ? first
            : quint16(10000 + QRandomGenerator::global()->bounded(std::max(1, 22000 - count)));
        try {
            ports.push_back(servers.front()->listenTcp(start));
            for (std::size_t i = 1; i < servers.size(); ++i) {
                const int port = ports.front() + int(i);
                if (port > 65535)
                    throw std::runtime_error("no room for consecutive ports");
                ports.push_back(servers[i]->listenTcp(quint16(port)));
            }
            return ports;
        } catch (const std::runtime_error &) {
            if (first != 0 || attempt >= 50)
                throw;
            for (std::size_t i = 0; i < ports.size(); ++i)
                servers[i]->stopListening();
        }
    }
}

bool writeDump(const QString &path, const ReaderMemory &memory)
{
    QString error;
    if (SafeFile::write(path, memory.toIntelHex(), error))
        return true;
    std::fprintf(stderr, "corvant-reader-sim: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(error));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    applyDefaultLoggingRules();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvant-reader-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the bootloader of a CORVANT reader on loopback TCP or a pseudo-terminal.\n"
        "Messages are the write and end messages, numbered from 1 in the order received."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    parser.addVersionOption();
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Listen on 127.0.0.1:<port> (default 10001; 0 picks a free port)."),
        QStringLiteral("port"));
    const QCommandLineOption pty(
        QStringLiteral("pty"),
        QStringLiteral("Create a pseudo-terminal and a symbolic link to it at <link>."),
        QStringLiteral("link"));
    const QCommandLineOption dump(
        QStringLiteral("dump"),
        QStringLiteral("Write the memory received as Intel HEX to <file> when ending (with\n"
                       "--count: to <file>/reader-<i>.hex, one file per reader)."),
        QStringLiteral("file"));
    const QCommandLineOption readers(
        QStringLiteral("count"),
        QStringLiteral("Simulate <n> independent readers: on <n> consecutive TCP ports, or\n"
                       "on <n> pseudo-terminals linked as <link>0 to <link><n-1>."),
        QStringLiteral("n"));
    const QCommandLineOption once(QStringLiteral("once"),
                                  QStringLiteral("End after one completed download."));
    const QCommandLineOption nak(
        QStringLiteral("write-failed"),
        QStringLiteral("Answer message <k> with E7 E5 (repeatable, or k,k,...)."),
        QStringLiteral("k"));
    const QCommandLineOption reject(QStringLiteral("not-accepted"),
                                    QStringLiteral("Answer message <k> with E8."),
                                    QStringLiteral("k"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Do not answer message <k>."),
                                    QStringLiteral("k"));
    const QCommandLineOption close(QStringLiteral("close-after"),
                                   QStringLiteral("Close the connection after message <k> (TCP)."),
                                   QStringLiteral("k"));
    const QCommandLineOption ignore(QStringLiteral("ignore-wakeups"),
                                    QStringLiteral("Do not answer the first <n> wake-ups."),
                                    QStringLiteral("n"));
    const QCommandLineOption stray(QStringLiteral("stray-byte"),
                                   QStringLiteral("Send 00 before the first wake-up answer."));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send replies one byte at a time."));
    const QCommandLineOption baud(
        QStringLiteral("baud"), QStringLiteral("Pace every byte at <rate> bit/s, 10 bits a byte."),
        QStringLiteral("rate"));
    parser.addOptions(
        {tcp, pty, dump, readers, once, nak, reject, silent, close, ignore, stray, split, baud});
    parser.process(app);
    if (parser.isSet(help)) {
        // Named as the other programs name themselves, not by the path run.
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                     QStringLiteral("usage: corvant-reader-sim"));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }

    bool ok = true;
    SimulatorServer::Options options;
    options.faults.writeFailed = numbers(parser.values(nak), ok);
    options.faults.notAccepted = numbers(parser.values(reject), ok);
    options.faults.silent = numbers(parser.values(silent), ok);
    options.faults.closeAfter = numbers(parser.values(close), ok);
    options.faults.ignoreWakeups = count(parser, ignore, 0, ok);
    options.faults.strayByte = parser.isSet(stray);
    options.splitReplies = parser.isSet(split);
    options.baud = count(parser, baud, 0, ok);
    const int tcpPort = count(parser, tcp, 10001, ok);
    const int readerCount = count(parser, readers, 1, ok);
    if (!ok || tcpPort > 65535 || readerCount < 1 || readerCount > 4096) {
        std::fprintf(
            stderr,
            "corvant-reader-sim: message numbers, counts, rates and ports are whole numbers\n");
        return 1;
    }

    // One server per reader, each with its own memory and faults.
    std::vector<std::unique_ptr<SimulatorServer>> servers;
    for (int i = 0; i < readerCount; ++i) {
        servers.push_back(std::make_unique<SimulatorServer>(options));
        const QString prefix = readerCount > 1 ? QStringLiteral("[%1] ").arg(i) : QString();
        QObject::connect(servers.back().get(), &SimulatorServer::logLine,
                         [prefix](const QString &line) {
                             std::fprintf(stderr, "%s%s\n", qPrintable(prefix), qPrintable(line));
                         });
    }
    try {
        if (parser.isSet(pty)) {
            for (int i = 0; i < readerCount; ++i) {
                const QString link
                    = readerCount > 1 ? parser.value(pty) + QString::number(i) : parser.value(pty);
                const QString device = servers[std::size_t(i)]->openPty(link);
                std::printf("pseudo-terminal %s, linked as %s\n", qPrintable(device),
                            qPrintable(link));
            }
        } else {
            for (const quint16 port : listenConsecutive(servers, quint16(tcpPort)))
                std::printf("listening on 127.0.0.1:%u\n", unsigned(port));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "corvant-reader-sim: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);

    // SIGINT, SIGTERM and SIGHUP end the event loop, so the dump is
    // written; a second, different one ends at once.
    const StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, &QCoreApplication::quit);
    QObject::connect(&stopSignals, &StopSignals::forceRequested, &app,
                     [](int signal) { ::_exit(128 + signal); });
    if (parser.isSet(once)) {
        // Once every reader completed a download; the last answer gets time
        // to leave before the connection goes.
        auto left = std::make_shared<int>(readerCount);
        for (const auto &server : servers) {
            QObject::connect(server.get(), &SimulatorServer::completed, &app,
                             [left, done = false]() mutable {
                                 if (done)
                                     return;
                                 done = true;
                                 if (--*left == 0)
                                     QTimer::singleShot(100, qApp, &QCoreApplication::quit);
                             });
        }
    }

    const int result = app.exec();
    if (parser.isSet(dump)) {
        bool written = true;
        if (readerCount == 1) {
            written = writeDump(parser.value(dump), servers.front()->engine().memory());
        } else {
            QDir().mkpath(parser.value(dump));
            for (int i = 0; i < readerCount; ++i) {
                const QString file
                    = QDir(parser.value(dump)).filePath(QStringLiteral("reader-%1.hex").arg(i));
                written = writeDump(file, servers[std::size_t(i)]->engine().memory()) && written;
            }
        }
        if (!written)
            return 1;
    }
    return result;
}
