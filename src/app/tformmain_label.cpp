// Sticker printing from the settings panel.
#include "app/tformmain.h"

#include "app/appinfo.h"
#include "app/panelsettings.h"
#include "label/sticker.h"

#include <QFileInfo>
#include <QLineEdit>

void TFormMain::btnNicePrintClick()
{
    // The server's calls block: not while a download needs the event loop.
    if (busy() || !commitCustomerCodes())
        return;
    std::array<QString, OptionSlots::kSlotCount> cells;
    for (int row = 0; row < OptionSlots::kSlotCount; ++row)
        cells[std::size_t(row)] = panelSettings->cellText(row);
    Sticker::LabelSettings label{m_settings.labelFile, m_settings.firmwareVariable,
                                 m_settings.codesVariable};
    // The server may run elsewhere: a name found from here goes as a full path.
    if (QFileInfo::exists(label.fileName))
        label.fileName = QFileInfo(label.fileName).absoluteFilePath();
    Sticker::print(labelServer(), dialogs(), label, Sticker::firmwareText(editFile->text()),
                   Sticker::codeText(cells, m_slots));
}

void TFormMain::btnNiceSettingsClick()
{
    Sticker::LabelSettings label{m_settings.labelFile, m_settings.firmwareVariable,
                                 m_settings.codesVariable};
    Sticker::chooseSettings(dialogs(), label, QString::fromLatin1(kApplicationTitle));
    m_settings.labelFile = label.fileName;
    m_settings.firmwareVariable = label.firmwareVariable;
    m_settings.codesVariable = label.codesVariable;
}
