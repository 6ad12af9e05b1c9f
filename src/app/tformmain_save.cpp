// The save flow of "Save plain" and "Save encrypted".
#include "app/tformmain.h"

#include "app/appinfo.h"
#include "app/customercodegrid.h"
#include "app/panelsettings.h"
#include "image/filenames.h"
#include "image/imagesaver.h"
#include "options/imageoutput.h"

#include <QFileInfo>

void TFormMain::btnSaveClick(bool encrypted)
{
    // A save must not change the lines a download is sending, nor open its
    // dialogs inside a starting download.
    if (busy() || !commitCustomerCodes())
        return;
    if (std::all_of(m_slots.begin(), m_slots.end(), [](int code) { return code == 0; })) {
        const Dialogs::Answer answer = dialogs().message(
            Dialogs::Icon::Warning,
            QStringLiteral("No customer codes specified.\rAre you sure you want to save to file?"),
            Dialogs::Buttons::YesNo);
        if (answer != Dialogs::Answer::Yes) {
            // Ready for typing: the remembered row's value cell is current,
            // also after the activation that follows the box.
            m_rowAfterBox = m_rememberedRow;
            panelSettings->SG1->setFocus();
            panelSettings->SG1->setCurrentCell(m_rememberedRow, 1);
            return;
        }
    }

    Dialogs::FileRequest request;
    request.title = QString::fromLatin1(kApplicationTitle) + QStringLiteral("  -  Open hex file");
    request.filter = QStringLiteral("Hex file (*.hex)");
    request.defaultSuffix = QStringLiteral("hex");
    request.directory = m_image.currentFileName.isEmpty()
        ? QString()
        : QFileInfo(m_image.currentFileName).absolutePath();
    request.fileName = defaultSaveName(m_image.currentFileName, m_slots[OptionSlots::CF],
                                       m_slots[OptionSlots::DF], m_slots[OptionSlots::GF]);
    // The file dialog takes a version's dot ("reader_v1.00_CF012") for the
    // start of an extension and would add none.
    const QString chosen = withExtension(dialogs().saveFileName(request), request.defaultSuffix);
    if (chosen.isEmpty())
        return;

    try {
        ImageOutput::prepare(
            m_image, ImageOutput::OptionChanges::fromPanel(readerOptions(), customerCodesShown()),
            encrypted ? ImageOutput::Form::Encrypted : ImageOutput::Form::Plain);
        saveImage(m_image.records, chosen);
    } catch (const CorvantError &) {
        // The current file stays the one that exists: the next activation
        // reloads it.
        dialogs().message(Dialogs::Icon::Error, QStringLiteral("Unable to write to %1").arg(chosen),
                          Dialogs::Buttons::Ok);
        return;
    }
    m_image.currentFileName = chosen;
    showFileName();
    dialogs().message(Dialogs::Icon::None, QStringLiteral("Saved %1").arg(chosen),
                      Dialogs::Buttons::Ok);
}
