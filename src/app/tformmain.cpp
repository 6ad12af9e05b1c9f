// Start-up, activation, rendering the session's state, the actions of the
// window and its close.
#include "app/tformmain.h"

#include "app/customercodegrid.h"
#include "app/guidialogs.h"
#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "app/tformlogging.h"
#include "app/windowlog.h"
#include "session/appinfo.h"
#include "session/shortenpath.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

// Resources of a static library are registered by hand.
static void initialiseResources()
{
    Q_INIT_RESOURCE(app);
}

TFormMain::TFormMain(Environment environment, QWidget *parent)
    : QWidget(parent)
    , m_environment(std::move(environment))
    , m_guiDialogs(std::make_unique<GuiDialogs>(this))
    , m_logging(std::make_unique<TFormLogging>())
    , m_labelServer(m_environment.labelServer ? *m_environment.labelServer
                                              : static_cast<LabelServer &>(m_noLabelServer))
{
    initialiseResources();
    setupControls(this);
    Image1->installEventFilter(this); // double-click: the logging window
    editFile->installEventFilter(this); // a click or a typed character: Browse
    m_session = std::make_unique<UpdateSession>(
        m_environment, m_environment.dialogs ? *m_environment.dialogs : *m_guiDialogs,
        m_labelServer);
    connectControls();
    connectPanel();
    FormCreate();
    connect(qApp, &QApplication::focusChanged, this, [](QWidget *, QWidget *now) {
        qCDebug(lcWindow).noquote() << "focus" << WindowLog::controlName(now);
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) {
                    m_session->reload(); // OnApplActivate
                } else {
                    m_returningFromOtherProgram = true;
                    // Typed into a cell, still open: kept through the
                    // reload that the return to the program runs.
                    panelSettings->SG1->commitEditor();
                }
            });
}

TFormMain::~TFormMain()
{
    // The widgets go after this destructor, still changing the focus: the
    // application's signals must not reach a half-destroyed window.
    disconnect(qApp, nullptr, this, nullptr);
}

void TFormMain::connectControls()
{
    UpdateSession *session = m_session.get();
    connect(btnDownload, &QPushButton::clicked, this, &TFormMain::btnDownloadClick);
    connect(btnCancel, &QPushButton::clicked, session, &UpdateSession::cancel);
    connect(btnExit, &QPushButton::clicked, this, &QWidget::close);
    connect(btnBrowse, &QPushButton::clicked, session, &UpdateSession::browse);
    connect(chkEEPROM, &QCheckBox::toggled, session, &UpdateSession::setEepromTicked);
    connect(chkCCODES, &QCheckBox::toggled, session, &UpdateSession::setCodesTicked);
    connect(session, &UpdateSession::fileNameChanged, this, &TFormMain::showFileName);
    connect(session, &UpdateSession::closeRequested, this, &QWidget::close);
    connect(session, &UpdateSession::notice, this,
            [this](const QString &text) { m_logging->addLogLine(text, kNoticeColour); });

    // Qt's shortcut map sees each key press exactly once, before the focused
    // control, however the key then travels (a cell editor closing on F4
    // passes it to the grid). An enabled shortcut takes its key: F4 does not
    // also open the port list over a starting download. A disabled one lets
    // the key reach the control, as every other key does.
    const auto shortcut = [this](Qt::Key key) {
        auto *s = new QShortcut(QKeySequence(key), this);
        s->setContext(Qt::WindowShortcut);
        s->setAutoRepeat(false); // a key held down is one press
        connect(s, &QShortcut::activated, this, [this, key] { FormKeyDown(key); });
        return s;
    };
    m_browseKey = shortcut(Qt::Key_F2);
    m_downloadKey = shortcut(Qt::Key_F4);
}

void TFormMain::FormCreate()
{
    setWindowTitle(applicationTitle());
    lblVersion->setText(tr("Version: ") + QCoreApplication::applicationVersion());

    // The grid: a third of its width for the labels, twice that for the values.
    layout()->activate();
    panelSettings->layout()->activate();
    panelSettings->grpCodes->layout()->activate();
    QTableWidget *grid = panelSettings->SG1;
    const int third = (grid->width() - 2 * grid->frameWidth()) / 3;
    grid->setColumnWidth(0, third);
    grid->setColumnWidth(1, 2 * third);

    m_session->start();
    editPort->addItems(m_session->portList());
    editPort->setCurrentText(m_session->port());
    connect(editPort, &QComboBox::currentTextChanged, m_session.get(), &UpdateSession::setPort);

    // The session renders its state first (it connected first).
    DownloadEngine *download = &m_session->download();
    connect(m_session.get(), &UpdateSession::stateChanged, this, &TFormMain::RefreshWindowState);
    connect(download, &DownloadEngine::phaseChanged, this, [this](DownloadEngine::Phase phase) {
        // Connecting to a host can take long: the wait cursor shows it.
        const bool wait = phase == DownloadEngine::Phase::Opening && m_session->connectsSlowly();
        if (wait && !QApplication::overrideCursor())
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (!wait && QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        // "Connecting..." is painted before a call that may block.
        if (phase == DownloadEngine::Phase::Opening)
            QCoreApplication::processEvents();
    });
    connect(download, &DownloadEngine::statusChanged, StatusBar, &QLabel::setText);
    connect(download, &DownloadEngine::statusChanged, this,
            [](const QString &text) { qCDebug(lcWindow).noquote() << "status" << text; });
    connect(download, &DownloadEngine::progressStarted, this, [this](int maximum) {
        ProgressBar->setRange(0, maximum);
        ProgressBar->setValue(0);
        ProgressBar->show();
    });
    connect(download, &DownloadEngine::progressChanged, ProgressBar, &QProgressBar::setValue);
    connect(download, &DownloadEngine::progressEnded, ProgressBar, &QWidget::hide);
    m_logging->follow(*download);

    RefreshWindowState();
    const bool settingsMode = m_session->state().settingsPanelShown;
    panelSettings->setVisible(settingsMode);
    if (!settingsMode) {
        layout()->activate();
        resize(width(),
               PanelTop->height() + PanelMain->height() + PanelButtons->height()
                   + StatusBar->sizeHint().height());
    }
}

void TFormMain::RefreshWindowState()
{
    const WindowState state = m_session->state();
    if (state.codeTexts) {
        // Not a change typed by the technician.
        const QSignalBlocker quiet(panelSettings->SG1);
        for (int row = 0; row < OptionSlots::kSlotCount; ++row)
            panelSettings->setCellText(row, (*state.codeTexts)[std::size_t(row)]);
    }
    for (QWidget *control : std::initializer_list<QWidget *>{
             editPort, editFile, btnBrowse, chkCCODES, chkEEPROM, panelSettings->SG1,
             panelSettings->editRelayTime, panelSettings->editFacility, panelSettings->btnSave,
             panelSettings->btnSaveAES, panelSettings->btnNicePrint,
             panelSettings->btnNiceSettings})
        control->setEnabled(state.idle);
    chkEEPROM->setChecked(state.eepromTicked);
    chkCCODES->setChecked(state.codesTicked);
    chkEEPROM->setVisible(state.eepromBoxShown);
    chkCCODES->setVisible(state.codesBoxShown);
    panelSettings->grpCodes->setVisible(state.codesGroupShown);
    panelSettings->grpRelayTime->setVisible(state.relayGroupShown);
    panelSettings->grpFacility->setVisible(state.facilityGroupShown);
    panelSettings->PanelSave->setVisible(state.saveShown);
    panelSettings->PanelNice->setVisible(state.stickerShown);
    btnDownload->setEnabled(state.downloadEnabled);
    m_downloadKey->setEnabled(state.downloadEnabled);
    m_browseKey->setEnabled(state.idle);
    btnExit->setVisible(state.idle);
    btnCancel->setVisible(!state.idle);
    showFileName();
}

void TFormMain::showFileName()
{
    // The field's width counts even before the window is first shown.
    layout()->activate();
    PanelMain->layout()->activate();
    const QFontMetrics metrics(lblFile->font());
    editFile->setText(shortenPath(
        m_session->state().fileName, editFile->width() - 6,
        [&metrics](const QString &text) { return metrics.horizontalAdvance(text); },
        QDir::separator()));
    editFile->setCursorPosition(0);
}

void TFormMain::setVisible(bool visible)
{
    // Placed before the first show, while a position still names the frame.
    if (visible && !m_placed) {
        m_placed = true;
        placeWindow();
    }
    QWidget::setVisible(visible);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The first show is an activation whether or not the platform activates
    // the window: a bare X session without a window manager never does, and
    // an unattended download would wait for ever.
    if (!m_shown) {
        m_shown = true;
        WindowLog::logControls(*this);
        FormActivate();
    }
}

void TFormMain::placeWindow()
{
    // The stored position is the frame's corner, used unchanged; without
    // one, the frame is centred, its title bar never above or left of the
    // screen (a window taller than the screen hangs down from its top).
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const int left = m_session->settings().left;
    const int top = m_session->settings().top;
    m_placement.place([area, left, top](const QSize &frame) {
        return QPoint(left == AppSettings::kNoPosition
                          ? area.left() + std::max(0, (area.width() - frame.width()) / 2)
                          : left,
                      top == AppSettings::kNoPosition
                          ? area.top() + std::max(0, (area.height() - frame.height()) / 2)
                          : top);
    });
}

bool TFormMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        if (m_returningFromOtherProgram)
            m_returningFromOtherProgram = false;
        else
            FormActivate();
    }
    return QWidget::event(event);
}

void TFormMain::FormActivate()
{
    if (m_rowAfterBox >= 0) {
        // Back from a box that sent the technician to the grid: that row
        // stays selected, this once.
        panelSettings->SG1->setCurrentCell(m_rowAfterBox, 1);
        m_rowAfterBox = -1;
    } else {
        panelSettings->SG1->clearSelection();
        panelSettings->SG1->setCurrentItem(nullptr);
    }
    if (m_session->takeAutoStart()) {
        // After the activation is handled, as a click would come; the reload
        // that the same activation may run must not have failed meanwhile.
        QTimer::singleShot(0, this, [this] {
            if (btnDownload->isEnabled())
                btnDownloadClick();
        });
    }
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (m_session->busy()) {
        event->ignore();
        m_session->cancel();
        return;
    }
    if (m_session->close(frameGeometry().topLeft())) {
        m_logging->hide();
        emit closed();
    }
    event->accept();
}

void TFormMain::btnDownloadClick()
{
    // While a download runs the action does nothing at all; otherwise the
    // codes the grid shows are the ones sent.
    if (!m_session->busy() && commitCustomerCodes())
        m_session->startDownload();
}

void TFormMain::btnSaveClick(bool encrypted)
{
    // Nor its dialogs inside a starting download.
    if (m_session->busy() || !commitCustomerCodes())
        return;
    if (m_session->save(encrypted) == UpdateSession::SaveOutcome::NoCodesDeclined) {
        // Ready for typing: the remembered row's value cell is current, also
        // after the activation that follows the box.
        m_rowAfterBox = m_rememberedRow;
        panelSettings->SG1->setFocus();
        panelSettings->SG1->setCurrentCell(m_rememberedRow, 1);
    }
}

void TFormMain::btnNicePrintClick()
{
    if (m_session->busy() || !commitCustomerCodes())
        return;
    std::array<QString, OptionSlots::kSlotCount> cells;
    for (int row = 0; row < OptionSlots::kSlotCount; ++row)
        cells[std::size_t(row)] = panelSettings->cellText(row);
    m_session->printSticker(cells);
}

void TFormMain::FormKeyDown(int key)
{
    // Not while a button is held: a drag or a click is under way.
    if (QGuiApplication::mouseButtons() != Qt::NoButton || m_session->busy())
        return;
    if (key == Qt::Key_F2 && btnBrowse->isEnabled())
        m_session->browse();
    else if (key == Qt::Key_F4 && btnDownload->isEnabled())
        btnDownloadClick();
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_session)
        showFileName();
    if (isVisible())
        WindowLog::logControls(*this);
}
