// Refresh window state, the file field, and what the panel holds.
#include "app/tformmain.h"

#include "app/customercodegrid.h"
#include "app/optionedits.h"
#include "app/panelsettings.h"
#include "app/shortenpath.h"
#include "app/tformlogging.h"
#include "options/valuetests.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

void TFormMain::ShowCustomerCodes()
{
    if (m_codesTyped)
        return;
    // Not a change typed by the technician.
    const QSignalBlocker quiet(panelSettings->SG1);
    for (int row = 0; row < OptionSlots::kSlotCount; ++row) {
        const int code = m_slots[OptionSlots::kSlotOfRow[std::size_t(row)]];
        panelSettings->setCellText(row, ValueTests::codeText(row, code));
    }
}

void TFormMain::RefreshWindowState()
{
    ShowCustomerCodes();

    const bool idle = !m_download->holdsLink();
    for (QWidget *control :
         {static_cast<QWidget *>(editPort), static_cast<QWidget *>(editFile),
          static_cast<QWidget *>(btnBrowse), static_cast<QWidget *>(chkCCODES),
          static_cast<QWidget *>(chkEEPROM), static_cast<QWidget *>(panelSettings->SG1),
          static_cast<QWidget *>(panelSettings->editRelayTime),
          static_cast<QWidget *>(panelSettings->editFacility)})
        control->setEnabled(idle);

    const ContentFlags &flags = m_image.flags;
    chkEEPROM->setVisible(flags.eepromData);
    chkCCODES->setVisible(flags.customerCodeTable);

    const bool codes = flags.customerCodeTable && m_settingsMode;
    const bool relay = flags.relayTimeSlot && m_settingsMode;
    const bool facility = flags.facilityCodeSlot && m_settingsMode;
    panelSettings->grpCodes->setVisible(codes);
    panelSettings->grpRelayTime->setVisible(relay);
    panelSettings->grpFacility->setVisible(facility);

    const bool save = m_autoMode == AutoMode::Off && (codes || relay || facility);
    panelSettings->PanelSave->setVisible(save);
    // A save must not change the lines a download is still sending, and a
    // sticker's blocking calls must not hold up the download.
    panelSettings->btnSave->setEnabled(idle);
    panelSettings->btnSaveAES->setEnabled(idle);
    panelSettings->PanelNice->setVisible(save && m_labelPrintingAvailable);
    panelSettings->btnNicePrint->setEnabled(idle);
    panelSettings->btnNiceSettings->setEnabled(idle);

    btnDownload->setEnabled(m_image.imageValid && idle);
    m_downloadKey->setEnabled(btnDownload->isEnabled());
    m_browseKey->setEnabled(idle);
    btnExit->setVisible(idle);
    btnCancel->setVisible(!idle);
}

void TFormMain::showFileName()
{
    // The field's width counts even before the window is first shown.
    layout()->activate();
    PanelMain->layout()->activate();
    const QFontMetrics metrics(lblFile->font());
    editFile->setText(shortenPath(
        m_image.currentFileName, editFile->width() - 6,
        [&metrics](const QString &text) { return metrics.horizontalAdvance(text); },
        QDir::separator()));
    editFile->setCursorPosition(0);
}
