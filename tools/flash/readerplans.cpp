#include "flash/readerplans.h"

#include "common/corvanterror.h"
#include "options/customercodes.h"

#include <QCryptographicHash>
#include <QHash>

namespace ReaderPlans {

QStringList prepared(const FirmwareImage &base, const OptionArguments::Parsed &options,
                     FirmwareImage &image)
{
    QStringList reasons = OptionArguments::refusals(base.records, options);
    if (!reasons.isEmpty())
        return reasons;
    image = base;
    try {
        ImageOutput::prepare(image, options.changes);
    } catch (const CorvantError &e) {
        reasons << e.message();
    }
    return reasons;
}

RecordFraming::Options framing(const FlashRequest &request, const FirmwareImage &base,
                               const ImageOutput::OptionChanges &changes)
{
    bool codes = request.codes;
    for (const auto &code : changes.codes)
        codes = codes || code.has_value();
    return {.sendEeprom = request.eeprom, .sendCodeTable = !base.flags.customerCodeTable || codes};
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

std::optional<QString> plan(const FlashRequest &request, const FirmwareImage &base,
                            const QList<ReaderEntry> &entries, ReaderSetups &setups)
{
    QHash<QString, qsizetype> sameValues; // the values as given -> the first reader with them
    for (const ReaderEntry &entry : entries) {
        const OptionArguments::Parsed options = ReaderList::merged(request.options, entry.options);
        const QString key = options.shownValues.join(QLatin1Char('|'));
        ReaderPlan plan;
        plan.name = entry.name;
        plan.site = entry.site;
        plan.label = entry.label;
        plan.values = options.changes;
        Rack::Entry reader;
        if (const auto same = sameValues.constFind(key); same != sameValues.cend()) {
            reader = setups.readers.at(*same);
            plan.sentSha256 = setups.plans.at(*same).sentSha256;
            plan.codes = setups.plans.at(*same).codes;
            plan.parts = setups.plans.at(*same).parts;
        } else {
            FirmwareImage own;
            const QStringList reasons = prepared(base, options, own);
            if (!reasons.isEmpty())
                return request.readersFile.isEmpty()
                    ? QStringLiteral("%1: %2").arg(request.firmware, reasons.front())
                    : QStringLiteral("%1:%2: %3")
                          .arg(request.readersFile)
                          .arg(entry.line)
                          .arg(reasons.front());
            reader.lines = own.records;
            plan.codes = CustomerCodes::read(own).value_or(CustomerSlots{});
            reader.framing = framing(request, base, options.changes);
            const SentLines sent = sentLines(own.records, reader.framing);
            plan.sentSha256 = sha256(sent.text);
            plan.parts = sent.parts;
            sameValues.insert(key, setups.readers.size());
        }
        reader.port = entry.port;
        setups.readers << reader;
        setups.plans << plan;
    }
    return std::nullopt;
}

} // namespace ReaderPlans
