#include "session/updatesession.h"

#include "download/downloadquestions.h"
#include "download/portlink.h"
#include "image/filenames.h"
#include "image/imageloader.h"
#include "image/imagesaver.h"
#include "label/sticker.h"
#include "options/imageoutput.h"
#include "session/appinfo.h"
#include "session/commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cstdio>

// Part of the window's debug log (the same category's name).
Q_LOGGING_CATEGORY(lcSession, "corvant.window")

QString UpdateSession::invalidFileText()
{
    return tr("Invalid file format or hex file corrupt");
}

UpdateSession::UpdateSession(Environment environment, Dialogs &dialogs, LabelServer &labelServer,
                             QObject *parent)
    : QObject(parent)
    , m_environment(std::move(environment))
    , m_dialogs(dialogs)
    , m_labelServer(labelServer)
    , m_settingsFile(m_environment.settingsPath)
{
}

UpdateSession::~UpdateSession() = default;

void UpdateSession::start()
{
    // The port list needs the [ports] section; the rest of the file follows it.
    const SerialPorts::Overrides ports = AppSettings::readPorts(m_settingsFile);
    m_portList = SerialPorts::portList(
        SerialPorts::presentPorts(m_environment.systemSerialDevices, ports));
    m_settings = AppSettings::read(m_settingsFile, m_portList.first());
    m_settingsRead = m_settings;
    if (m_settingsFile.tooLarge())
        std::fprintf(stderr,
                     "corvant-fwupdate: %s is larger than 1 MiB: it is no settings file, and "
                     "is neither read nor written\n",
                     m_settingsFile.path().toLocal8Bit().constData());
    m_port = m_settings.comPort;
    m_image.currentFileName = m_settings.file;

    m_link = std::make_unique<PortLink>(m_settings.ports);
    m_questions = std::make_unique<DialogQuestions>(m_dialogs);
    m_download = std::make_unique<DownloadEngine>(*m_link, *m_questions, m_environment.timing);
    // Before the window's own connections: it renders the new state first.
    connect(m_download.get(), &DownloadEngine::phaseChanged, this, &UpdateSession::stateChanged);
    connect(m_download.get(), &DownloadEngine::finished, this, &UpdateSession::downloadFinished);

    // A server that is slow to start, or hangs, must not hold up the
    // window: the sticker buttons appear once it has answered.
    m_labelServer.startDesignerAsync(this, [this](bool answered) {
        m_labelPrintingAvailable = answered;
        qCDebug(lcSession) << "label printing" << (answered ? "available" : "unavailable");
        // During start-up (a command-line box's event loop) the start's own
        // state shows it.
        if (answered && m_started && !m_closing)
            emit stateChanged();
    });

    const CommandLine commandLine = CommandLine::parse(
        m_environment.arguments, m_environment.programPath, m_image.currentFileName);
    if (commandLine.port)
        m_port = *commandLine.port;
    if (commandLine.tickAll)
        m_codesTicked = m_eepromTicked = true;
    if (commandLine.autoRequested)
        m_autoMode = AutoMode::Requested;
    m_image.currentFileName = commandLine.currentFile;
    m_settingsMode = commandLine.settingsMode;
    for (const auto &[slot, code] :
         {std::pair{OptionSlots::CF, commandLine.cf}, std::pair{OptionSlots::DF, commandLine.df},
          std::pair{OptionSlots::GF, commandLine.gf}})
        if (code)
            m_slots[slot] = *code;
    m_quitAtStart = commandLine.quitAtStart;
    for (const CommandLine::Message &message : commandLine.messages)
        m_dialogs.message(message.icon, message.text, Dialogs::Buttons::Ok);
    if (m_settingsMode)
        m_codesTicked = true;
    if (m_quitAtStart) {
        m_autoMode = AutoMode::Off;
        m_settingsMode = false;
    }

    m_image.imageValid = loadImage(m_image.currentFileName, m_image);
    m_started = true;
    emit stateChanged();
}

bool UpdateSession::codesShown() const
{
    return m_image.flags.customerCodeTable && m_settingsMode;
}

WindowState UpdateSession::state() const
{
    WindowState state;
    state.idle = !m_download || !m_download->holdsLink(); // no engine before the start
    state.downloadEnabled = m_image.imageValid && state.idle;
    state.settingsPanelShown = m_settingsMode;
    const ContentFlags &flags = m_image.flags;
    state.eepromBoxShown = flags.eepromData;
    state.codesBoxShown = flags.customerCodeTable;
    state.eepromTicked = m_eepromTicked;
    state.codesTicked = m_codesTicked;
    state.codesGroupShown = codesShown();
    state.relayGroupShown = flags.relayTimeSlot && m_settingsMode;
    state.facilityGroupShown = flags.facilityCodeSlot && m_settingsMode;
    state.saveShown = m_autoMode == AutoMode::Off
        && (state.codesGroupShown || state.relayGroupShown || state.facilityGroupShown);
    state.stickerShown = state.saveShown && m_labelPrintingAvailable;
    if (!m_codesTyped) {
        state.codeTexts.emplace();
        for (int row = 0; row < OptionSlots::kSlotCount; ++row)
            (*state.codeTexts)[std::size_t(row)]
                = ValueTests::codeText(row, m_slots[OptionSlots::kSlotOfRow[std::size_t(row)]]);
    }
    state.fileName = m_image.currentFileName;
    return state;
}

ReaderOptions UpdateSession::readerOptions() const
{
    ReaderOptions options;
    options.customerCodes = m_slots;
    options.relayTimeSeconds = m_relayTimeSeconds;
    options.facilityCode = m_facilityCode;
    return options;
}

bool UpdateSession::connectsSlowly() const
{
    return m_link->connectsAsynchronously();
}

void UpdateSession::loadCurrent()
{
    m_image.imageValid = loadImage(m_image.currentFileName, m_image);
    emit stateChanged();
}

void UpdateSession::reload()
{
    if (!busy())
        loadCurrent();
}

void UpdateSession::browse()
{
    if (busy())
        return;
    Dialogs::FileRequest request;
    request.title = applicationTitle() + tr("  -  Open hex file");
    request.filter = tr("Hex file (*.hex);;Any file (*)");
    request.defaultSuffix = QStringLiteral("hex");
    request.directory = m_image.currentFileName.isEmpty()
        ? QDir::currentPath()
        : QFileInfo(m_image.currentFileName).absolutePath();
    QString chosen = m_dialogs.openFileName(request);
    if (chosen.isEmpty())
        return;

    if (codesShown())
        m_slots.fill(0);
    m_codesTyped = false; // another firmware: the slots are what the grid shows
    m_image.imageValid = false;
    if (loadImage(chosen, m_image)) {
        m_image.imageValid = true;
        m_image.currentFileName = chosen;
    } else {
        m_dialogs.message(Dialogs::Icon::Error, invalidFileText(), Dialogs::Buttons::Ok);
    }
    emit stateChanged();
}

bool UpdateSession::takeAutoStart()
{
    if (m_autoMode != AutoMode::Requested || !state().downloadEnabled)
        return false;
    m_autoMode = AutoMode::Started;
    return true;
}

ValueTests::CodeCheck
UpdateSession::checkCodes(const std::array<QString, OptionSlots::kSlotCount> &texts)
{
    const ValueTests::CodeCheck check = ValueTests::checkCustomerCodes(texts, m_slots);
    if (check.passed())
        m_codesTyped = false;
    else
        m_dialogs.message(Dialogs::Icon::Error, check.message(), Dialogs::Buttons::Ok);
    return check;
}

RecordFraming::Options UpdateSession::frameOptions() const
{
    // The code table goes unless its box is shown and unchecked.
    return {.sendEeprom = m_eepromTicked,
            .sendCodeTable = !m_image.flags.customerCodeTable || m_codesTicked};
}

std::optional<DownloadJob> UpdateSession::prepareDownload()
{
    // The options go into the image as a save writes them; the download
    // sends its lines as they then stand.
    try {
        ImageOutput::prepare(m_image,
                             ImageOutput::OptionChanges::fromPanel(readerOptions(), codesShown()));
    } catch (const CorvantError &) {
        // Not for an image that loaded: it was deciphered by the load.
        m_dialogs.message(Dialogs::Icon::Error, invalidFileText(), Dialogs::Buttons::Ok);
        return std::nullopt;
    }
    DownloadJob job;
    job.portText = m_port;
    job.lines = m_image.records;
    job.framing = frameOptions();
    job.unattended = m_autoMode != AutoMode::Off;
    return job;
}

void UpdateSession::startDownload()
{
    if (busy())
        return;
    if (std::optional<DownloadJob> job = prepareDownload())
        m_download->start(std::move(*job));
}

void UpdateSession::cancel()
{
    m_download->cancel();
}

void UpdateSession::downloadFinished(DownloadEngine::Outcome outcome)
{
    if (outcome != DownloadEngine::Completed || m_autoMode == AutoMode::Off)
        return;
    // A completed unattended download ends the program with exit code 1,
    // once the link's event that ended it is handled.
    m_exitCode = 1;
    QTimer::singleShot(0, this, &UpdateSession::closeRequested);
}

UpdateSession::SaveOutcome UpdateSession::save(bool encrypted)
{
    // A save must not change the lines a download is sending.
    if (busy())
        return SaveOutcome::Cancelled;
    if (std::all_of(m_slots.begin(), m_slots.end(), [](int code) { return code == 0; })
        && m_dialogs.message(
               Dialogs::Icon::Warning,
               tr("No customer codes specified.\rAre you sure you want to save to file?"),
               Dialogs::Buttons::YesNo)
            != Dialogs::Answer::Yes)
        return SaveOutcome::NoCodesDeclined;

    Dialogs::FileRequest request;
    request.title = applicationTitle() + tr("  -  Open hex file");
    request.filter = tr("Hex file (*.hex)");
    request.defaultSuffix = QStringLiteral("hex");
    request.directory = m_image.currentFileName.isEmpty()
        ? QString()
        : QFileInfo(m_image.currentFileName).absolutePath();
    request.fileName = defaultSaveName(m_image.currentFileName, m_slots[OptionSlots::CF],
                                       m_slots[OptionSlots::DF], m_slots[OptionSlots::GF]);
    // The file dialog takes a version's dot ("reader_v1.00_CF012") for the
    // start of an extension and would add none.
    const QString chosen = withExtension(m_dialogs.saveFileName(request), request.defaultSuffix);
    if (chosen.isEmpty())
        return SaveOutcome::Cancelled;

    try {
        ImageOutput::prepare(m_image,
                             ImageOutput::OptionChanges::fromPanel(readerOptions(), codesShown()),
                             encrypted ? ImageOutput::Form::Encrypted : ImageOutput::Form::Plain);
        saveImage(m_image.records, chosen);
    } catch (const CorvantError &) {
        // The current file stays the one that exists: the next activation
        // reloads it.
        m_dialogs.message(Dialogs::Icon::Error, tr("Unable to write to %1").arg(chosen),
                          Dialogs::Buttons::Ok);
        return SaveOutcome::Failed;
    }
    m_image.currentFileName = chosen;
    emit fileNameChanged();
    m_dialogs.message(Dialogs::Icon::None, tr("Saved %1").arg(chosen), Dialogs::Buttons::Ok);
    return SaveOutcome::Saved;
}

void UpdateSession::printSticker(const std::array<QString, OptionSlots::kSlotCount> &cellTexts)
{
    // The server's calls block: not while a download needs the event loop.
    if (busy())
        return;
    Sticker::LabelSettings label{m_settings.labelFile, m_settings.firmwareVariable,
                                 m_settings.codesVariable};
    // The server may run elsewhere: a name found from here goes as a full path.
    if (QFileInfo::exists(label.fileName))
        label.fileName = QFileInfo(label.fileName).absoluteFilePath();
    Sticker::print(m_labelServer, m_dialogs, label, Sticker::firmwareText(m_image.currentFileName),
                   Sticker::codeText(cellTexts, m_slots));
}

void UpdateSession::chooseLabelSettings()
{
    Sticker::LabelSettings label{m_settings.labelFile, m_settings.firmwareVariable,
                                 m_settings.codesVariable};
    Sticker::chooseSettings(m_dialogs, label, applicationTitle());
    m_settings.labelFile = label.fileName;
    m_settings.firmwareVariable = label.firmwareVariable;
    m_settings.codesVariable = label.codesVariable;
}

void UpdateSession::readCodesFromImage()
{
    if (const std::optional<CustomerSlots> codes = CustomerCodes::read(m_image)) {
        m_slots = *codes;
        m_codesTyped = false;
        emit stateChanged();
    }
}

std::optional<double> UpdateSession::relayTimeInImage() const
{
    if (const std::optional<int> tenths = ReaderOptionsIo::readRelayTimeTenths(m_image))
        return *tenths / 10.0;
    return std::nullopt;
}

std::optional<int> UpdateSession::facilityCodeInImage() const
{
    return ReaderOptionsIo::readFacilityCode(m_image);
}

bool UpdateSession::close(QPoint framePosition)
{
    if (m_closing)
        return false;
    m_closing = true;
    // Not when it could not be reached at start-up: binding now might start
    // a server only to end it.
    if (m_labelPrintingAvailable) {
        try {
            m_labelServer.QuitDesigner();
        } catch (const LabelServerError &) {
            // The server may be gone already; closing goes on.
        }
    }
    m_settings.comPort = m_port;
    m_settings.file = m_image.currentFileName;
    m_settings.left = framePosition.x();
    m_settings.top = framePosition.y();
    if (m_settings.write(m_settingsFile, m_settingsRead))
        return true;
    static const char kUnableToWrite[] = QT_TR_NOOP("Unable to write to %1");
    const QString text = tr(kUnableToWrite).arg(m_settingsFile.path());
    if (m_autoMode != AutoMode::Off) {
        // Nobody is there to answer a box: the program ends with the
        // download's exit code, and says why on stderr, in English like
        // everything a script reads.
        std::fprintf(stderr, "corvant-fwupdate: %s\n",
                     QString::fromLatin1(kUnableToWrite)
                         .arg(m_settingsFile.path())
                         .toLocal8Bit()
                         .constData());
        emit notice(text);
    } else {
        m_dialogs.message(Dialogs::Icon::Error, text, Dialogs::Buttons::Ok);
    }
    return true;
}
