// The Download and Cancel actions, and how the window shows a download.
#include "app/tformmain.h"

#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "app/tformlogging.h"
#include "app/windowlog.h"
#include "download/portlink.h"
#include "options/imageoutput.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

void TFormMain::connectDownload()
{
    DownloadEngine *download = m_download.get();
    connect(download, &DownloadEngine::phaseChanged, this, &TFormMain::downloadPhaseChanged);
    connect(download, &DownloadEngine::finished, this, &TFormMain::downloadFinished);
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
}

void TFormMain::btnDownloadClick()
{
    // While a download runs the action does nothing at all; otherwise the
    // codes the grid shows are the ones sent.
    if (busy() || !commitCustomerCodes())
        return;
    // The options go into the window's image as a save writes them; the
    // download sends its lines as they then stand.
    try {
        ImageOutput::prepare(
            m_image, ImageOutput::OptionChanges::fromPanel(readerOptions(), customerCodesShown()));
    } catch (const CorvantError &) {
        // Not for an image that loaded: it was deciphered by the load.
        dialogs().message(Dialogs::Icon::Error,
                          QStringLiteral("Invalid file format or hex file corrupt"),
                          Dialogs::Buttons::Ok);
        return;
    }
    DownloadJob job;
    job.portText = editPort->currentText();
    job.lines = m_image.records;
    job.framing = frameOptions();
    job.unattended = m_autoMode != AutoMode::Off;
    m_download->start(std::move(job));
}

void TFormMain::btnCancelClick()
{
    m_download->cancel();
}

void TFormMain::downloadPhaseChanged(DownloadEngine::Phase phase)
{
    // Connecting to a host can take long: the wait cursor shows it.
    setBusyCursor(phase == DownloadEngine::Phase::Opening && m_link->connectsAsynchronously());
    RefreshWindowState();
    // "Connecting..." is painted before a call that may block.
    if (phase == DownloadEngine::Phase::Opening)
        QCoreApplication::processEvents();
}

void TFormMain::downloadFinished(DownloadEngine::Outcome outcome)
{
    if (outcome != DownloadEngine::Completed || m_autoMode == AutoMode::Off)
        return;
    // A completed unattended download ends the program with exit code 1,
    // once the link's event that ended it is handled.
    m_exitCode = 1;
    QTimer::singleShot(0, this, &QWidget::close);
}

void TFormMain::setBusyCursor(bool busy)
{
    if (busy && !QApplication::overrideCursor())
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

ReaderOptions TFormMain::readerOptions() const
{
    ReaderOptions options;
    options.customerCodes = m_slots;
    options.relayTimeSeconds = panelSettings->editRelayTime->seconds();
    options.facilityCode = panelSettings->editFacility->code();
    return options;
}

bool TFormMain::customerCodesShown() const
{
    return m_image.flags.customerCodeTable && m_settingsMode;
}

RecordFraming::Options TFormMain::frameOptions() const
{
    // The code table goes unless its box is shown and unchecked.
    return {.sendEeprom = chkEEPROM->isChecked(),
            .sendCodeTable = !m_image.flags.customerCodeTable || chkCCODES->isChecked()};
}
