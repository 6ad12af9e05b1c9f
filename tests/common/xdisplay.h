#pragma once

// An X server of its own (Xvfb), optionally with a window manager (openbox),
// and xdotool to send input through it: keys and clicks arrive as a person's
// do, through the server, never as events made inside the program.
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class XDisplay {
public:
    ~XDisplay()
    {
        for (QProcess *process : {&m_windowManager, &m_server}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished();
        }
    }

    // Starts the server (and the window manager); false when either failed.
    bool start(bool windowManager)
    {
        m_server.start(QStringLiteral(CORVANT_XVFB),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        QByteArray number;
        while (!number.endsWith('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            return false;
        m_name = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
        if (!windowManager)
            return true;
        // openbox runs its start-up command once it manages the screen.
        const QString ready = m_dir.filePath(QStringLiteral("wm-ready"));
        m_windowManager.setProcessEnvironment(environment());
        m_windowManager.start(QStringLiteral(CORVANT_OPENBOX),
                              {QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
        for (int waited = 0; waited < 10000 && !QFile::exists(ready); waited += 50)
            QTest::qWait(50);
        return QFile::exists(ready);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_name);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return environment;
    }

    // xdotool's output, trimmed; empty when it failed.
    QByteArray xdotool(const QStringList &arguments) const
    {
        QByteArray output;
        return run(arguments, &output) ? output.trimmed() : QByteArray();
    }

    // Runs xdotool for its effect; false when it failed.
    bool send(const QStringList &arguments) const { return run(arguments, nullptr); }

    // The first visible window whose title matches; waits for it.
    QByteArray window(const QString &title) const
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                        QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title})
            .split('\n')
            .value(0);
    }

    // The top-left corner of a window's client area on the screen.
    QPoint clientCorner(const QByteArray &window) const
    {
        const QByteArray geometry
            = xdotool({QStringLiteral("getwindowgeometry"), QString::fromLatin1(window)});
        const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+)"))
                  .match(QString::fromLatin1(geometry));
        return match.hasMatch() ? QPoint(match.captured(1).toInt(), match.captured(2).toInt())
                                : QPoint(-1, -1);
    }

private:
    bool run(const QStringList &arguments, QByteArray *output) const
    {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(QStringLiteral(CORVANT_XDOTOOL), arguments);
        const bool ran = tool.waitForFinished(20000) && tool.exitStatus() == QProcess::NormalExit
            && tool.exitCode() == 0;
        if (output)
            *output = tool.readAllStandardOutput();
        return ran;
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_windowManager;
    QString m_name;
};
