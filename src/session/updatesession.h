#pragma once

#include "download/downloadengine.h"
#include "download/downloadjob.h"
#include "image/firmwareimage.h"
#include "label/labelserver.h"
#include "options/customercodes.h"
#include "options/readeroptions.h"
#include "options/valuetests.h"
#include "session/windowstate.h"
#include "settings/appsettings.h"
#include "settings/profilefile.h"

#include <QObject>
#include <QPoint>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class PortLink;
class DialogQuestions;

// The program's flows without widgets: it owns the firmware image, the
// option values, the download options, the modes, the settings and the
// download, runs every action the window offers, asks only through Dialogs
// and DownloadQuestions, and decides what the window shows (state()).
class UpdateSession : public QObject {
    Q_OBJECT

public:
    enum class AutoMode { Off, Requested, Started };
    enum class SaveOutcome { Saved, NoCodesDeclined, Cancelled, Failed };

    struct Environment {
        QString programPath; // shown by the usage text
        QStringList arguments; // the command line, without the program
        QString settingsPath; // the settings file
        DownloadTiming timing;
        QStringList systemSerialDevices; // the serial devices present
    };

    UpdateSession(Environment environment, Dialogs &dialogs, LabelServer &labelServer,
                  QObject *parent = nullptr);
    ~UpdateSession() override;

    // Start-up: the settings file, the command line (and its boxes), the
    // first load. Ends with stateChanged().
    void start();
    // The start-up's verdict: end right away, settings not written.
    bool quitAtStart() const { return m_quitAtStart; }
    int exitCode() const { return m_exitCode; }

    WindowState state() const;
    const QStringList &portList() const { return m_portList; }
    const QString &port() const { return m_port; }
    const AppSettings &settings() const { return m_settings; }
    FirmwareImage &image() { return m_image; }
    const CustomerSlots &customerSlots() const { return m_slots; }
    ReaderOptions readerOptions() const;
    AutoMode autoMode() const { return m_autoMode; }
    DownloadEngine &download() { return *m_download; }
    // A download holds the link, or is opening it.
    bool busy() const { return m_download->isBusy(); }
    // Opening the port may take long (a host to connect to).
    bool connectsSlowly() const;

    // What the technician changed in the window.
    void setPort(const QString &port) { m_port = port; }
    void setEepromTicked(bool ticked) { m_eepromTicked = ticked; }
    void setCodesTicked(bool ticked) { m_codesTicked = ticked; }
    void setRelayTimeSeconds(double seconds) { m_relayTimeSeconds = seconds; }
    void setFacilityCode(qint64 code) { m_facilityCode = code; }
    // The grid holds codes typed since the slots were last shown or checked:
    // a refresh keeps them (they are checked at Download, a save or a
    // sticker) instead of writing the slots over them.
    void codesTyped() { m_codesTyped = true; }

    // The return to the window: the current file is read again (not while a
    // download sends it).
    void reload();
    // Browse: another firmware file, chosen in the open dialog.
    void browse();
    // The auto-start rule, at a window activation: true (once) when the
    // unattended download is due now.
    bool takeAutoStart();
    // The grid's texts checked into the slots; the range message on failure.
    ValueTests::CodeCheck checkCodes(const std::array<QString, OptionSlots::kSlotCount> &texts);
    // The options written into the image, the lines and framing as a
    // download sends them; nothing (after a box) when the image fails.
    std::optional<DownloadJob> prepareDownload();
    void startDownload(); // nothing while a download runs
    void cancel();
    SaveOutcome save(bool encrypted);
    void printSticker(const std::array<QString, OptionSlots::kSlotCount> &cellTexts);
    void chooseLabelSettings();
    // The double-clicks on the groups: the values the image holds.
    void readCodesFromImage();
    std::optional<double> relayTimeInImage() const;
    std::optional<int> facilityCodeInImage() const;
    // The window closes at the frame position: the label server ends and
    // the settings file is written (its failure said in a box, or on stderr
    // and in the log when unattended). False when it was closed already.
    bool close(QPoint framePosition);

signals:
    void stateChanged();
    void fileNameChanged(); // a save renamed the current file
    void closeRequested(); // a completed unattended download ends the program
    void notice(const QString &text); // for the logging window

private:
    static QString invalidFileText();
    void loadCurrent();
    void downloadFinished(DownloadEngine::Outcome outcome);
    RecordFraming::Options frameOptions() const;
    bool codesShown() const;

    Environment m_environment;
    Dialogs &m_dialogs;
    LabelServer &m_labelServer;
    ProfileFile m_settingsFile;
    AppSettings m_settings;
    AppSettings m_settingsRead; // as the file had them at start: only changes are written
    QStringList m_portList;
    QString m_port;
    std::unique_ptr<PortLink> m_link;
    std::unique_ptr<DialogQuestions> m_questions;
    std::unique_ptr<DownloadEngine> m_download;

    FirmwareImage m_image;
    CustomerSlots m_slots{};
    double m_relayTimeSeconds = ReaderOptions::kInitialRelayTimeSeconds;
    qint64 m_facilityCode = ReaderOptions::kInitialFacilityCode;
    bool m_eepromTicked = false;
    bool m_codesTicked = false;
    bool m_codesTyped = false;
    AutoMode m_autoMode = AutoMode::Off;
    bool m_settingsMode = false;
    bool m_labelPrintingAvailable = false;
    bool m_quitAtStart = false;
    bool m_started = false;
    bool m_closing = false;
    int m_exitCode = 0;
};
