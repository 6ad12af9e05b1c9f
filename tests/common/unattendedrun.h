#pragma once

// The utility run as a production line runs it: the simulator program as the
// reader, the utility program unattended against it, each in its own process.
#include "testfiles.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <functional>

namespace UnattendedRun {

constexpr int kWait = 60000;

// The data words of an Intel HEX text by word address (low byte first), for
// the data records whose first word address keep() accepts. Parsed here, not
// by the code under test; lines that do not begin with ':' are skipped.
inline QMap<int, std::uint16_t> hexWords(const QByteArray &text,
                                         const std::function<bool(int)> &keep)
{
    QMap<int, std::uint16_t> words;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (!line.startsWith(':'))
            continue;
        const QByteArray bytes = QByteArray::fromHex(line.mid(1));
        if (bytes.size() < 5 || bytes[3] != 0)
            continue;
        const int first = ((uchar(bytes[1]) << 8) | uchar(bytes[2])) / 2;
        if (!keep(first))
            continue;
        for (int k = 0; k < uchar(bytes[0]) / 2; ++k)
            words[first + k]
                = std::uint16_t(uchar(bytes[4 + 2 * k]) | uchar(bytes[5 + 2 * k]) << 8);
    }
    return words;
}

inline QMap<int, std::uint16_t> fileWords(
    const QString &path, const std::function<bool(int)> &keep = [](int) { return true; })
{
    return hexWords(TestFiles::read(path), keep);
}

// Whether a download sends the data record starting at this word:
// configuration words never, EEPROM data and the customer code table only
// when all is asked for (mode=all, --all).
inline bool sentByDownload(int firstWord, bool all)
{
    const bool config = firstWord >= 0x2000 && firstWord <= 0x20FF;
    const bool eeprom = firstWord >= 0x2100;
    const bool table = firstWord >= 0xF0 && firstWord <= 0xFD;
    return !config && (all || (!eeprom && !table));
}

// The words a download of the firmware file sends.
inline QMap<int, std::uint16_t> sentWords(const QString &path, bool all)
{
    return fileWords(path, [all](int first) { return sentByDownload(first, all); });
}

// Compares word maps, naming the first difference.
inline void compareWords(const QMap<int, std::uint16_t> &actual,
                         const QMap<int, std::uint16_t> &expected)
{
    QVERIFY(!expected.isEmpty());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        QVERIFY2(actual.contains(it.key()),
                 qPrintable(QStringLiteral("word %1 was not written").arg(it.key(), 0, 16)));
        QVERIFY2(actual.value(it.key()) == it.value(),
                 qPrintable(QStringLiteral("word %1 is %2, not %3")
                                .arg(it.key(), 0, 16)
                                .arg(actual.value(it.key()), 0, 16)
                                .arg(it.value(), 0, 16)));
    }
    for (auto it = actual.constBegin(); it != actual.constEnd(); ++it)
        QVERIFY2(expected.contains(it.key()),
                 qPrintable(QStringLiteral("word %1 should not be written").arg(it.key(), 0, 16)));
}

struct Run {
    QTemporaryDir dir;
    QProcess simulator;
    QProcess utility;

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    // Starts the simulator; returns its first line of output.
    QByteArray startSimulator(const QStringList &arguments)
    {
        simulator.start(QStringLiteral(CORVANT_READER_SIM),
                        arguments
                            + QStringList{QStringLiteral("--once"), QStringLiteral("--dump"),
                                          path("dump.hex")});
        if (!simulator.waitForReadyRead(kWait))
            return {};
        return simulator.readAllStandardOutput();
    }

    // The simulator on a free loopback port; the utility's port text for it,
    // or an empty text when it did not start.
    QString startTcpSimulator(const QStringList &faults = {})
    {
        const QByteArray banner
            = startSimulator(QStringList{QStringLiteral("--tcp"), QStringLiteral("0")} + faults);
        if (!banner.startsWith("listening on 127.0.0.1:"))
            return {};
        return QStringLiteral("127.0.0.1:")
            + QString::fromLatin1(banner.trimmed().mid(banner.lastIndexOf(':') + 1));
    }

    // Runs the utility offscreen with its settings in the test's folder.
    // Returns its exit code, -1 when it did not end, -2 when it crashed.
    int runUtility(const QStringList &arguments,
                   QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
    {
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        utility.setProcessEnvironment(environment);
        utility.start(QStringLiteral(CORVANT_FWUPDATE), arguments);
        if (!utility.waitForFinished(kWait)) {
            utility.kill();
            utility.waitForFinished();
            return -1;
        }
        if (utility.exitStatus() != QProcess::NormalExit) {
            qWarning("the utility crashed: %s", utility.readAllStandardError().constData());
            return -2;
        }
        return utility.exitCode();
    }
};

} // namespace UnattendedRun
