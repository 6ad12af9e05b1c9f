#pragma once

#include "downloadhost.h"

#include <QCoreApplication>
#include <QStringList>

#include <functional>

// A main window for the download that records what it is told.
class FakeHost : public DownloadHost
{
public:
    QString port = QStringLiteral("COM1");
    FirmwareImage firmware;
    ReaderOptions options;
    bool codesShown = false;
    RecordFraming::Options framing;
    bool unattended = false;

    QStringList statusTexts;
    QStringList log;            // "tx: EA", "rx: EB"...
    bool keepLog = true;        // false: lines are only counted (a flood would fill the list)
    qint64 logLines = 0;
    QList<LogColour> logColours;
    QList<int> progressPositions;
    int progressMaximum = -1;
    bool progressVisible = false;
    int refreshes = 0;
    bool busy = false;
    int unattendedFinishes = 0;

    QString status() const { return statusTexts.value(statusTexts.size() - 1); }

    QString portText() const override { return port; }
    void setStatusText(const QString &text) override { statusTexts << text; }
    void showProgress(int maximum) override
    {
        progressMaximum = maximum;
        progressVisible = true;
    }
    void setProgressPosition(int position) override { progressPositions << position; }
    void hideProgress() override { progressVisible = false; }
    void addLogLine(const QString &text, LogColour colour) override
    {
        ++logLines;
        if (!keepLog)
            return;
        log << text;
        logColours << colour;
    }
    void refreshWindowState() override { ++refreshes; }
    void setBusyCursor(bool on) override { busy = on; }
    std::function<void()> duringPendingEvents; // events that arrive while the window paints
    void processPendingEvents() override
    {
        if (duringPendingEvents)
            duringPendingEvents();
        QCoreApplication::processEvents();
    }
    FirmwareImage &image() override { return firmware; }
    ReaderOptions readerOptions() const override { return options; }
    bool customerCodesShown() const override { return codesShown; }
    RecordFraming::Options frameOptions() const override { return framing; }
    bool autoMode() const override { return unattended; }
    void finishUnattended() override { ++unattendedFinishes; }
};
