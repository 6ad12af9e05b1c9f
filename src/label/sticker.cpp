#include "label/sticker.h"

#include "image/filenames.h"

#include <QCoreApplication>
#include <QStringList>

namespace Sticker {

QString codeText(const std::array<QString, OptionSlots::kSlotCount> &cellTexts,
                 const CustomerSlots &codes)
{
    QStringList tokens;
    for (int row = 0; row < OptionSlots::kSlotCount; ++row) {
        if (cellTexts[std::size_t(row)].isEmpty())
            continue;
        const OptionSlots::Slot slot = OptionSlots::kSlotOfRow[std::size_t(row)];
        tokens << QString::fromLatin1(OptionSlots::kRowLabels[std::size_t(row)])
                + QString::number(codes[slot]);
    }
    return tokens.join(QLatin1Char(' '));
}

QString firmwareText(const QString &fileField)
{
    return imageBaseName(fileField);
}

QString print(LabelServer &server, Dialogs &dialogs, const LabelSettings &settings,
              const QString &firmware, const QString &codes)
{
    const auto fail = [&dialogs](const QString &text) {
        dialogs.message(Dialogs::Icon::Error, text, Dialogs::Buttons::Ok);
        return text;
    };
    try {
        if (server.OpenLabel(settings.fileName) != 0)
            return fail(QCoreApplication::translate("Sticker", "Error: OpenLabel failed (%1)")
                            .arg(settings.fileName));
        if (server.SetVariable(settings.firmwareVariable, firmware) != 0)
            return fail(QCoreApplication::translate("Sticker", "Error: SetVariable failed (%1)")
                            .arg(settings.firmwareVariable));
        if (server.SetVariable(settings.codesVariable, codes) != 0)
            return fail(QCoreApplication::translate("Sticker", "Error: SetVariable failed (%1)")
                            .arg(settings.codesVariable));
        if (server.PrintLabel(1) != 0)
            return fail(QCoreApplication::translate("Sticker", "Error: PrintLabel failed"));
    } catch (const LabelServerError &e) {
        // The server went away: nothing more to say or do.
        return e.message();
    }
    return QString();
}

void chooseSettings(Dialogs &dialogs, LabelSettings &settings, const QString &applicationTitle)
{
    Dialogs::FileRequest request;
    request.title
        = applicationTitle + QCoreApplication::translate("Sticker", "  -  Select NiceLabel file");
    request.filter = QCoreApplication::translate("Sticker", "NiceLabel file (*.lbl);;Any file (*)");
    request.fileName = settings.fileName;
    const QString chosen = dialogs.openFileName(request);
    if (chosen.isEmpty())
        return;
    settings.fileName = chosen;

    const QString title
        = applicationTitle + QCoreApplication::translate("Sticker", "  -  Select variable name");
    const std::optional<QString> first = dialogs.inputText(
        title,
        QCoreApplication::translate("Sticker", "First variable name (used for firmware version)"),
        settings.firmwareVariable);
    if (!first)
        return;
    settings.firmwareVariable = *first;
    const std::optional<QString> second = dialogs.inputText(
        title,
        QCoreApplication::translate("Sticker", "Second variable name (used for customer codes)"),
        settings.codesVariable);
    if (second)
        settings.codesVariable = *second;
}

} // namespace Sticker
