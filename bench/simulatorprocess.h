#pragma once

#include <QProcess>
#include <QStringList>

// The simulator program on a free loopback port (or from firstPort on),
// for one benchmark.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const QStringList &extra, int firstPort = 0)
    {
        m_process.start(QStringLiteral(CORVANT_READER_SIM),
                        QStringList{QStringLiteral("--tcp"), QString::number(firstPort)} + extra);
        m_process.setReadChannel(QProcess::StandardOutput);
        if (m_process.waitForReadyRead(10000)) {
            const QByteArray line = m_process.readLine().trimmed(); // "listening on 127.0.0.1:PORT"
            m_address = QString::fromLatin1(line.mid(line.lastIndexOf(' ') + 1));
        }
    }
    ~SimulatorProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    const QString &address() const { return m_address; }

private:
    QProcess m_process;
    QString m_address;
};
