#pragma once

#include "firmwareimage.h"
#include "readeroptions.h"
#include "recordframing.h"

#include <QString>

// A colour of the logging window.
struct LogColour
{
    int red;
    int green;
    int blue;
    friend bool operator==(const LogColour &, const LogColour &) = default;
};

constexpr LogColour kTransmitColour{128, 128, 0}; // olive
constexpr LogColour kReceiveColour{0, 128, 0};    // green

// What the download needs of the main window: its controls, its firmware
// image and options, and its unattended mode.
class DownloadHost
{
public:
    virtual ~DownloadHost() = default;

    virtual QString portText() const = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void showProgress(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void hideProgress() = 0;
    virtual void addLogLine(const QString &text, LogColour colour) = 0;
    virtual void refreshWindowState() = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Lets the window paint before a call that may block.
    virtual void processPendingEvents() = 0;

    virtual FirmwareImage &image() = 0;
    virtual ReaderOptions readerOptions() const = 0;
    // Whether the customer code group is shown, so its codes are written.
    virtual bool customerCodesShown() const = 0;
    virtual RecordFraming::Options frameOptions() const = 0;

    // Whether the download was started unattended from the command line.
    virtual bool autoMode() const = 0;
    // A completed unattended download: exit code 1 and close the program.
    virtual void finishUnattended() = 0;
};
