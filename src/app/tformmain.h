#pragma once

#include "app/formmaincontrols.h"
#include "app/frameplacement.h"
#include "app/waitcursorlabelserver.h"
#include "session/updatesession.h"

#include <QWidget>

#include <memory>

class GuiDialogs;
class QShortcut;
class TFormLogging;

// The main window: it holds the controls, their layout, keys, focus and
// placement, renders the session's WindowState and forwards the
// technician's actions to the session, which runs every flow.
class TFormMain : public QWidget, public FormMainControls {
    Q_OBJECT

public:
    struct Environment : UpdateSession::Environment {
        Dialogs *dialogs = nullptr; // null: message boxes
        LabelServer *labelServer = nullptr; // null: no label printing
    };

    explicit TFormMain(Environment environment, QWidget *parent = nullptr);
    ~TFormMain() override;

    UpdateSession &session() { return *m_session; }
    TFormLogging *logging() const { return m_logging.get(); }

    // Handlers, named as in the window's design. Before Download, a save
    // and a sticker an open cell editor is committed and the grid's codes
    // checked as leaving the grid does: a code out of range stops them.
    void btnDownloadClick();
    void btnSaveClick(bool encrypted);
    void btnNicePrintClick();

signals:
    // The window closed: the program ends with the session's exit code.
    void closed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void setVisible(bool visible) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void connectControls();
    void connectPanel();
    void FormActivate();
    void placeWindow();
    // Refresh window state: the controls as the session's state says.
    void RefreshWindowState();
    void showFileName();
    // The shortcut keys F2 and F4, each acting once per key press.
    void FormKeyDown(int key);
    bool commitCustomerCodes();
    bool checkCustomerCodes();
    void gridFocusChanged(QWidget *old, QWidget *now); // StringGridEnter/Exit

    Environment m_environment;
    std::unique_ptr<GuiDialogs> m_guiDialogs;
    std::unique_ptr<TFormLogging> m_logging;
    UnavailableLabelServer m_noLabelServer;
    WaitCursorLabelServer m_labelServer;
    std::unique_ptr<UpdateSession> m_session;

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
    // The program was left for another one: the next window activation is
    // the return to it, not an activation within the program.
    bool m_returningFromOtherProgram = false;
};
