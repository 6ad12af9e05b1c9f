// corvant-reader-sim: a reader bootloader for tests, demos and technicians
// without hardware.
#include "common/loggingrules.h"
#include "common/safefile.h"
#include "reader-sim/simulatorserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the bootloader of a CORVANT reader on loopback TCP or a pseudo-terminal.\n"
        "Messages are the write and end messages, numbered from 1 in the order received."));
    parser.addHelpOption();
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
        QStringLiteral("Write the memory received as Intel HEX to <file> when ending."),
        QStringLiteral("file"));
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
        {tcp, pty, dump, once, nak, reject, silent, close, ignore, stray, split, baud});
    parser.process(app);

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
    if (!ok || tcpPort > 65535) {
        std::fprintf(
            stderr,
            "corvant-reader-sim: message numbers, counts, rates and ports are whole numbers\n");
        return 1;
    }

    SimulatorServer server(options);
    QObject::connect(&server, &SimulatorServer::logLine,
                     [](const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
    try {
        if (parser.isSet(pty)) {
            const QString device = server.openPty(parser.value(pty));
            std::printf("pseudo-terminal %s, linked as %s\n", qPrintable(device),
                        qPrintable(parser.value(pty)));
        } else {
            const quint16 port = server.listenTcp(quint16(tcpPort));
            std::printf("listening on 127.0.0.1:%u\n", unsigned(port));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "corvant-reader-sim: %s\n", e.what());
        return 1;
    }
    std::fflush(stdout);

    // SIGINT and SIGTERM end the event loop, so the dump is written.
    if (::pipe(signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    if (parser.isSet(once)) {
        // Give the last answer time to leave before the connection goes.
        QObject::connect(&server, &SimulatorServer::completed, &app,
                         [] { QTimer::singleShot(100, qApp, &QCoreApplication::quit); });
    }

    const int result = app.exec();
    if (parser.isSet(dump) && !writeDump(parser.value(dump), server.engine().memory()))
        return 1;
    return result;
}
