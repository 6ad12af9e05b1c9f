// Start-up, activation, the actions of the window and its close.
#include "app/tformmain.h"

#include "app/appinfo.h"
#include "app/customercodegrid.h"
#include "app/guidialogs.h"
#include "app/panelsettings.h"
#include "app/tformlogging.h"
#include "app/windowlog.h"
#include "download/portlink.h"
#include "image/imageloader.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>

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
    , m_settingsFile(m_environment.settingsPath)
{
    initialiseResources();
    buildLayout();
    connectPanel();
    FormCreate();
    connect(qApp, &QApplication::focusChanged, this, [](QWidget *, QWidget *now) {
        qCDebug(lcWindow).noquote() << "focus" << WindowLog::controlName(now);
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) {
                    OnApplActivate();
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

Dialogs &TFormMain::dialogs()
{
    return m_environment.dialogs ? *m_environment.dialogs : *m_guiDialogs;
}

LabelServer &TFormMain::labelServer()
{
    return m_labelServer;
}

void TFormMain::FormCreate()
{
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    lblVersion->setText(QStringLiteral("Version: ") + QCoreApplication::applicationVersion());

    // The grid: a third of its width for the labels, twice that for the values.
    layout()->activate();
    panelSettings->layout()->activate();
    panelSettings->grpCodes->layout()->activate();
    QTableWidget *grid = panelSettings->SG1;
    const int third = (grid->width() - 2 * grid->frameWidth()) / 3;
    panelSettings->SG1->setColumnWidth(0, third);
    panelSettings->SG1->setColumnWidth(1, 2 * third);

    // The port list needs the [ports] section; the rest of the file follows it.
    const SerialPorts::Overrides ports = AppSettings::readPorts(m_settingsFile);
    const QStringList portList = SerialPorts::portList(
        SerialPorts::presentPorts(m_environment.systemSerialDevices, ports));
    editPort->addItems(portList);
    m_settings = AppSettings::read(m_settingsFile, portList.first());
    m_settingsRead = m_settings;
    if (m_settingsFile.tooLarge())
        std::fprintf(stderr,
                     "corvant-fwupdate: %s is larger than 1 MiB: it is no settings file, and "
                     "is neither read nor written\n",
                     m_settingsFile.path().toLocal8Bit().constData());
    editPort->setCurrentText(m_settings.comPort);
    m_image.currentFileName = m_settings.file;

    m_link = std::make_unique<PortLink>(m_settings.ports);
    m_questions = std::make_unique<DialogQuestions>(dialogs());
    m_download = std::make_unique<DownloadEngine>(*m_link, *m_questions, m_environment.timing);
    connectDownload();

    // A server that is slow to start, or hangs, must not hold up the
    // window: the sticker buttons appear once it has answered.
    m_labelPrintingAvailable = false;
    labelServer().startDesignerAsync(this, [this](bool answered) {
        m_labelPrintingAvailable = answered;
        qCDebug(lcWindow) << "label printing" << (answered ? "available" : "unavailable");
        // During start-up (a command-line box's event loop) the sequence's
        // own refresh shows it.
        if (answered && m_created && !m_closing)
            RefreshWindowState();
    });

    applyCommandLine(CommandLine::parse(m_environment.arguments, m_environment.programPath,
                                        m_image.currentFileName));
    if (m_settingsMode)
        chkCCODES->setChecked(true);
    if (m_quitAtStart) {
        m_autoMode = AutoMode::Off;
        m_settingsMode = false;
    }

    m_image.imageValid = loadImage(m_image.currentFileName, m_image);
    RefreshWindowState();
    showFileName();

    m_created = true;
    panelSettings->setVisible(m_settingsMode);
    if (!m_settingsMode) {
        layout()->activate();
        resize(width(),
               PanelTop->height() + PanelMain->height() + PanelButtons->height()
                   + StatusBar->sizeHint().height());
    }
}

void TFormMain::applyCommandLine(const CommandLine &commandLine)
{
    if (commandLine.port)
        editPort->setCurrentText(*commandLine.port);
    if (commandLine.tickAll) {
        chkCCODES->setChecked(true);
        chkEEPROM->setChecked(true);
    }
    if (commandLine.autoRequested)
        m_autoMode = AutoMode::Requested;
    m_image.currentFileName = commandLine.currentFile;
    m_settingsMode = commandLine.settingsMode;
    if (commandLine.cf)
        m_slots[OptionSlots::CF] = *commandLine.cf;
    if (commandLine.df)
        m_slots[OptionSlots::DF] = *commandLine.df;
    if (commandLine.gf)
        m_slots[OptionSlots::GF] = *commandLine.gf;
    m_quitAtStart = commandLine.quitAtStart;
    for (const CommandLine::Message &message : commandLine.messages)
        dialogs().message(message.icon, message.text, Dialogs::Buttons::Ok);
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
    const int left = m_settings.left;
    const int top = m_settings.top;
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
    if (m_autoMode == AutoMode::Requested && btnDownload->isEnabled()) {
        m_autoMode = AutoMode::Started;
        // After the activation is handled, as a click would come; the reload
        // that the same activation may run must not have failed meanwhile.
        QTimer::singleShot(0, this, [this] {
            if (btnDownload->isEnabled())
                btnDownloadClick();
        });
    }
}

void TFormMain::btnExitClick()
{
    close();
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (busy()) {
        event->ignore();
        btnCancelClick();
        return;
    }
    if (!m_closing) {
        m_closing = true;
        // Not when it could not be reached at start-up: binding now might
        // start a server only to end it.
        if (m_labelPrintingAvailable) {
            try {
                labelServer().QuitDesigner();
            } catch (const LabelServerError &) {
                // The server may be gone already; closing goes on.
            }
        }
        m_settings.comPort = editPort->currentText();
        m_settings.file = m_image.currentFileName;
        m_settings.left = frameGeometry().x();
        m_settings.top = frameGeometry().y();
        if (!m_settings.write(m_settingsFile, m_settingsRead)) {
            const QString text = QStringLiteral("Unable to write to %1").arg(m_settingsFile.path());
            if (m_autoMode != AutoMode::Off) {
                // Nobody is there to answer a box: the program ends with
                // the download's exit code, and says why on stderr.
                std::fprintf(stderr, "corvant-fwupdate: %s\n", text.toLocal8Bit().constData());
                m_logging->addLogLine(text, kNoticeColour);
            } else {
                dialogs().message(Dialogs::Icon::Error, text, Dialogs::Buttons::Ok);
            }
        }
        m_logging->hide();
        emit closed();
    }
    event->accept();
}

void TFormMain::OnApplActivate()
{
    // Not while a download sends the image; the next activation reloads.
    if (busy())
        return;
    m_image.imageValid = loadImage(m_image.currentFileName, m_image);
    RefreshWindowState();
    showFileName();
}

void TFormMain::btnSearchClick()
{
    if (busy())
        return;
    const QFileInfo current(m_image.currentFileName);
    Dialogs::FileRequest request;
    request.title = QString::fromLatin1(kApplicationTitle) + QStringLiteral("  -  Open hex file");
    request.filter = QStringLiteral("Hex file (*.hex);;Any file (*)");
    request.defaultSuffix = QStringLiteral("hex");
    request.directory
        = m_image.currentFileName.isEmpty() ? QDir::currentPath() : current.absolutePath();
    QString chosen = dialogs().openFileName(request);
    if (chosen.isEmpty())
        return;

    if (panelSettings->grpCodes->isVisibleTo(panelSettings))
        m_slots.fill(0);
    m_codesTyped = false; // another firmware: the slots are what the grid shows
    m_image.imageValid = false;
    if (loadImage(chosen, m_image)) {
        m_image.imageValid = true;
        m_image.currentFileName = chosen;
        showFileName();
    } else {
        dialogs().message(Dialogs::Icon::Error,
                          QStringLiteral("Invalid file format or hex file corrupt"),
                          Dialogs::Buttons::Ok);
    }
    RefreshWindowState();
}

void TFormMain::ShowDebug()
{
    if (m_logging->isVisible())
        m_logging->hide();
    else
        m_logging->showBeside(*this);
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (panelEvent(watched, event))
        return true;
    if (watched == Image1 && event->type() == QEvent::MouseButtonDblClick) {
        ShowDebug();
        return true;
    }
    if (watched == editFile && editFile->isEnabled()) {
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            btnSearchClick();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
            if (!command && !key->text().isEmpty() && key->text().at(0).isPrint()) {
                btnSearchClick();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMain::FormKeyDown(int key)
{
    // Not while a button is held: a drag or a click is under way.
    if (QGuiApplication::mouseButtons() != Qt::NoButton || busy())
        return;
    if (key == Qt::Key_F2 && btnBrowse->isEnabled())
        btnSearchClick();
    else if (key == Qt::Key_F4 && btnDownload->isEnabled())
        btnDownloadClick();
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showFileName();
    if (isVisible())
        WindowLog::logControls(*this);
}
