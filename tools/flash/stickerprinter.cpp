#include "flash/stickerprinter.h"

#include "options/valuetests.h"

#include <QFileInfo>

namespace {

// Nobody at a station answers a box: print() returns what it would say.
class QuietDialogs : public Dialogs {
public:
    Answer message(Icon, const QString &, Buttons) override { return Answer::Ok; }
    void closeMessages() override { }
    QString openFileName(const FileRequest &) override { return {}; }
    QString saveFileName(const FileRequest &) override { return {}; }
    std::optional<QString> inputText(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

} // namespace

StickerPrinter::StickerPrinter(LabelServer &server, Sticker::LabelSettings label,
                               QString firmwareText)
    : m_server(server)
    , m_label(std::move(label))
    , m_firmware(std::move(firmwareText))
{
    // The server may run elsewhere: a name found from here goes as a full path.
    if (QFileInfo::exists(m_label.fileName))
        m_label.fileName = QFileInfo(m_label.fileName).absoluteFilePath();
}

QString StickerPrinter::print(const CustomerSlots &codes, const QString &labelFile)
{
    Sticker::LabelSettings label = m_label;
    if (!labelFile.isEmpty())
        label.fileName = QFileInfo(labelFile).absoluteFilePath();
    // The grid's cells as the window shows these codes.
    std::array<QString, OptionSlots::kSlotCount> cells;
    for (int row = 0; row < OptionSlots::kSlotCount; ++row)
        cells[std::size_t(row)]
            = ValueTests::codeText(row, codes[OptionSlots::kSlotOfRow[std::size_t(row)]]);
    QuietDialogs dialogs;
    return Sticker::print(m_server, dialogs, label, m_firmware, Sticker::codeText(cells, codes));
}
