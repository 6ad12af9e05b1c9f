#include "flash/stickerprinter.h"

#include "options/valuetests.h"

#include <QFileInfo>

namespace {

// The boxes the sticker would show, kept as text.
class ToldDialogs : public Dialogs {
public:
    QString told;
    Answer message(Icon, const QString &text, Buttons) override
    {
        told = text;
        return Answer::Ok;
    }
    void closeMessages() override { }
    QString openFileName(const FileRequest &) override { return {}; }
    QString saveFileName(const FileRequest &) override { return {}; }
    std::optional<QString> inputText(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// The server's calls as they go; a server that cannot be reached is noted
// before print() passes over it in silence, as the window does.
class WatchedServer : public LabelServer {
public:
    explicit WatchedServer(LabelServer &server)
        : m_server(server)
    {
    }
    QString lost;
    std::int32_t StartDesigner() override
    {
        return watch([&] { return m_server.StartDesigner(); });
    }
    std::int32_t QuitDesigner() override
    {
        return watch([&] { return m_server.QuitDesigner(); });
    }
    std::int32_t OpenLabel(const QString &name) override
    {
        return watch([&] { return m_server.OpenLabel(name); });
    }
    std::int32_t SetVariable(const QString &name, const QString &value) override
    {
        return watch([&] { return m_server.SetVariable(name, value); });
    }
    std::int32_t PrintLabel(std::int32_t quantity) override
    {
        return watch([&] { return m_server.PrintLabel(quantity); });
    }

private:
    template<class Call> std::int32_t watch(Call call)
    {
        try {
            return call();
        } catch (const LabelServerError &e) {
            lost = e.message();
            throw;
        }
    }
    LabelServer &m_server;
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
    ToldDialogs dialogs;
    WatchedServer server(m_server);
    Sticker::print(server, dialogs, label, m_firmware, Sticker::codeText(cells, codes));
    return !dialogs.told.isEmpty() ? dialogs.told : server.lost;
}
