// corvant-reader-sim: a reader bootloader for tests, demos and technicians
// without hardware.
#include "common/loggingrules.h"
#include "common/programinfo.h"
#include "common/safefile.h"
#include "common/stopsignals.h"
#include "common/version.h"
#include "reader-sim/simulatorserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *kUsage
    = "usage: corvant-reader-sim [--tcp PORT | --pty LINK] [--count N] [--dump FILE]\n"
      "                          [--once] [--write-failed K] [--not-accepted K]\n"
      "                          [--silent K] [--close-after K] [--ignore-wakeups N]\n"
      "                          [--stray-byte] [--split] [--baud RATE]\n"
      "       corvant-reader-sim --help | --version\n"
      "\n"
      "Simulates the bootloader of a CORVANT reader on loopback TCP or a\n"
      "pseudo-terminal. Messages are the write and end messages, numbered from 1 in the\n"
      "order received.\n"
      "\n"
      "  --tcp PORT          listen on 127.0.0.1:PORT (default 10001; 0: a free port)\n"
      "  --pty LINK          create a pseudo-terminal and a symbolic link to it at LINK\n"
      "  --count N           simulate N independent readers: on N consecutive TCP\n"
      "                      ports, or on N pseudo-terminals linked as LINK0..LINK<N-1>\n"
      "  --dump FILE         write the memory received as Intel HEX to FILE when ending\n"
      "                      (with --count: to FILE/reader-<i>.hex, one per reader)\n"
      "  --once              end after one completed download\n"
      "  --write-failed K    answer message K with E7 E5 (repeatable, or K,K,...)\n"
      "  --not-accepted K    answer message K with E8\n"
      "  --silent K          do not answer message K\n"
      "  --close-after K     close the connection after message K (TCP)\n"
      "  --ignore-wakeups N  do not answer the first N wake-ups\n"
      "  --stray-byte        send 00 before the first wake-up answer\n"
      "  --split             send replies one byte at a time\n"
      "  --baud RATE         pace every byte at RATE bit/s, 10 bits a byte\n";

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
    if (const std::optional<int> answered
        = answerVersionOrHelp(argc, argv, "corvant-reader-sim", kUsage))
        return *answered;
    applyDefaultLoggingRules();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvant-reader-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANT_VERSION));

    QCommandLineParser parser;
    // The texts are the usage's; the parser only reads the options.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    parser.addOption(help);
    parser.addVersionOption();
    const auto valued = [](const char *name) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    };
    const auto flag
        = [](const char *name) { return QCommandLineOption(QString::fromLatin1(name), QString()); };
    const QCommandLineOption tcp = valued("tcp");
    const QCommandLineOption pty = valued("pty");
    const QCommandLineOption dump = valued("dump");
    const QCommandLineOption readers = valued("count");
    const QCommandLineOption once = flag("once");
    const QCommandLineOption nak = valued("write-failed");
    const QCommandLineOption reject = valued("not-accepted");
    const QCommandLineOption silent = valued("silent");
    const QCommandLineOption close = valued("close-after");
    const QCommandLineOption ignore = valued("ignore-wakeups");
    const QCommandLineOption stray = flag("stray-byte");
    const QCommandLineOption split = flag("split");
    const QCommandLineOption baud = valued("baud");
    parser.addOptions(
        {tcp, pty, dump, readers, once, nak, reject, silent, close, ignore, stray, split, baud});
    parser.process(app);
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
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
