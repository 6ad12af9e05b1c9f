#pragma once

#include "app/commandline.h"
#include "app/frameplacement.h"
#include "app/waitcursorlabelserver.h"
#include "download/downloadengine.h"
#include "download/recordframing.h"
#include "image/firmwareimage.h"
#include "label/labelserver.h"
#include "options/customercodes.h"
#include "options/readeroptions.h"
#include "settings/appsettings.h"
#include "settings/profilefile.h"

#include <QWidget>

#include <memory>

class GuiDialogs;
class PanelSettings;
class PortLink;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QShortcut;
class TFormLogging;

// The main window: port, file, settings panel, download buttons, status line
// and progress bar. It owns the program's state for the whole run (the
// firmware image, the customer code slots, the link and the download, the
// modes) and derives every control's state from it (Refresh window state).
class TFormMain : public QWidget {
    Q_OBJECT

public:
    enum class AutoMode { Off, Requested, Started };

    struct Environment {
        QString programPath; // shown by the usage text; names the settings file
        QStringList arguments; // the command line, without the program
        QString settingsPath; // the settings file
        Dialogs *dialogs = nullptr; // null: message boxes
        LabelServer *labelServer = nullptr; // null: no label printing
        DownloadTiming timing;
        QStringList systemSerialDevices; // the serial devices present
    };

    explicit TFormMain(Environment environment, QWidget *parent = nullptr);
    ~TFormMain() override;

    // The start-up sequence's verdict: end right away, settings not written.
    bool quitAtStart() const { return m_quitAtStart; }
    int exitCode() const { return m_exitCode; }
    TFormLogging *logging() const { return m_logging.get(); }
    DownloadEngine &download() { return *m_download; }
    FirmwareImage &image() { return m_image; }

    // Handlers, named as in the window's design.
    void btnDownloadClick();
    void btnCancelClick();
    void btnExitClick();
    void btnSearchClick();
    void OnApplActivate();
    void ShowDebug();
    void RefreshWindowState();
    void btnSaveClick(bool encrypted);
    void StringGridEnter();
    void StringGridExit();
    // Before Download, a save and a sticker: an open cell editor is
    // committed and the grid's codes checked as leaving the grid does; false
    // (after the range message) when a code is out of range.
    bool commitCustomerCodes();
    void grpCodesDblClick();
    void grpRelayTimeDblClick();
    void grpFacilityDblClick();
    void btnNicePrintClick();
    void btnNiceSettingsClick();
    const AppSettings &settings() const { return m_settings; }
    const CustomerSlots &customerSlots() const { return m_slots; }

    // The options as the panel holds them, and whether the customer code
    // group is shown (so its codes are written).
    ReaderOptions readerOptions() const;
    bool customerCodesShown() const;
    AutoMode autoModeState() const { return m_autoMode; }

    // Controls, named as in the window's design.
    QWidget *PanelTop;
    QLabel *Image1;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QWidget *PanelMain;
    QComboBox *editPort;
    QLabel *lblFile;
    QLineEdit *editFile;
    QPushButton *btnBrowse;
    PanelSettings *panelSettings;
    QWidget *PanelButtons;
    QCheckBox *chkCCODES;
    QCheckBox *chkEEPROM;
    QPushButton *btnDownload;
    QPushButton *btnExit;
    QPushButton *btnCancel;
    QProgressBar *ProgressBar;
    QLabel *StatusBar;

signals:
    // The window closed: the program ends with exitCode().
    void closed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void setVisible(bool visible) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildLayout();
    void connectPanel();
    bool panelEvent(QObject *watched, QEvent *event);
    void FormCreate();
    void FormActivate();
    void applyCommandLine(const CommandLine &commandLine);
    void placeWindow();
    // A download holds the link, or is opening it.
    bool busy() const { return m_download->isBusy(); }
    void connectDownload();
    void downloadPhaseChanged(DownloadEngine::Phase phase);
    void downloadFinished(DownloadEngine::Outcome outcome);
    RecordFraming::Options frameOptions() const;
    void setBusyCursor(bool busy);
    void showFileName();
    // The shortcut keys F2 and F4, each acting once per key press.
    void FormKeyDown(int key);
    void ShowCustomerCodes();
    bool checkCustomerCodes();
    Dialogs &dialogs();
    LabelServer &labelServer();

    Environment m_environment;
    std::unique_ptr<GuiDialogs> m_guiDialogs;
    std::unique_ptr<TFormLogging> m_logging;
    UnavailableLabelServer m_noLabelServer;
    WaitCursorLabelServer m_labelServer;
    ProfileFile m_settingsFile;
    AppSettings m_settings;
    AppSettings m_settingsRead; // as the file had them at start: only changes are written
    std::unique_ptr<PortLink> m_link;
    std::unique_ptr<DialogQuestions> m_questions;
    std::unique_ptr<DownloadEngine> m_download;

    FirmwareImage m_image;
    CustomerSlots m_slots{};
    AutoMode m_autoMode = AutoMode::Off;
    bool m_settingsMode = false;
    bool m_labelPrintingAvailable = false;
    bool m_quitAtStart = false;
    bool m_closing = false;
    bool m_created = false; // the start-up sequence has run
    bool m_placed = false;
    bool m_shown = false;
    FramePlacement m_placement{*this};
    // F2 and F4 through the window's shortcuts, enabled with their buttons.
    QShortcut *m_browseKey = nullptr;
    QShortcut *m_downloadKey = nullptr;
    int m_rememberedRow = 0; // the grid row selected when the grid last lost the focus
    // A row to select once a box that took the focus is gone (the failing
    // row after the range message, the remembered row after "No"), kept
    // through the one activation that follows the box.
    int m_rowAfterBox = -1;
    bool m_checkingCodes = false;
    // The grid holds codes typed since the slots were last shown or
    // checked: a refresh keeps them (the check runs at Download, a save or a
    // sticker) instead of writing the slots over them.
    bool m_codesTyped = false;
    // The program was left for another one: the next window activation is
    // the return to it, not an activation within the program.
    bool m_returningFromOtherProgram = false;
    int m_exitCode = 0;
};
