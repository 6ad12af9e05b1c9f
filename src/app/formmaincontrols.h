#pragma once

class PanelSettings;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

// The main window's controls, named as in the window's design, and their
// layout: title panel, port and file, the settings panel, the download
// options and buttons, the progress bar and the status line.
struct FormMainControls {
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

    // Creates the controls as children of form, laid out in it.
    void setupControls(QWidget *form);
};
