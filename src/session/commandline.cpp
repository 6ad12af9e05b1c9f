#include "session/commandline.h"

#include "options/optionslots.h"
#include "settings/wholenumber.h"

#include <QCoreApplication>

namespace {

struct CodeArgument {
    const char *prefix;
    int maximum;
    const char *error; // translated when shown
    std::optional<int> CommandLine::*slot;
};

const CodeArgument kCodes[] = {
    {"cf=", OptionSlots::maximumCode(OptionSlots::Kind::CF),
     QT_TRANSLATE_NOOP("CommandLine", "Error: invalid CF customer code"), &CommandLine::cf},
    {"df=", OptionSlots::maximumCode(OptionSlots::Kind::DF),
     QT_TRANSLATE_NOOP("CommandLine", "Error: invalid DF customer code"), &CommandLine::df},
    {"gf=", OptionSlots::maximumCode(OptionSlots::Kind::GF),
     QT_TRANSLATE_NOOP("CommandLine", "Error: invalid GF customer code"), &CommandLine::gf},
};

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments, const QString &programPath,
                               const QString &currentFile)
{
    CommandLine result;
    result.currentFile = currentFile;
    for (const QString &argument : arguments) {
        const QString lower = argument.toLower();
        // Names keep their letters: on a case-sensitive file system a
        // lower-cased path would name another file.
        const auto rest = [&](qsizetype prefix) { return argument.mid(prefix); };

        if (lower == QLatin1String("/?") || lower == QLatin1String("-?")) {
            result.messages.append(
                {Dialogs::Icon::Information,
                 QCoreApplication::translate(
                     "CommandLine",
                     "Usage: %1 [ port=COMn ] [ mode=AUTO ] [ mode=ALL ] [ filename.hex ]")
                     .arg(programPath)});
            result.quitAtStart = true;
            continue;
        }
        if (lower.startsWith(QLatin1String("port="))) {
            // COMn and host names in capitals; a device path names a file.
            const QString port = rest(5);
            result.port = port.startsWith(QLatin1Char('/')) ? port : port.toUpper();
            continue;
        }
        if (lower.startsWith(QLatin1String("mode="))) {
            const QString mode = lower.mid(5);
            if (mode == QLatin1String("all"))
                result.tickAll = true;
            else if (mode == QLatin1String("auto"))
                result.autoRequested = true;
            continue;
        }
        if (lower.startsWith(QLatin1String("file="))) {
            result.currentFile = rest(5);
            continue;
        }
        const CodeArgument *code = nullptr;
        for (const CodeArgument &candidate : kCodes) {
            if (lower.startsWith(QLatin1String(candidate.prefix)))
                code = &candidate;
        }
        if (code) {
            const int value = parseWholeNumber(lower.mid(3)).value_or(-1);
            if (value < 0 || value > code->maximum) {
                result.messages.append({Dialogs::Icon::Error,
                                        QCoreApplication::translate("CommandLine", code->error)});
                result.quitAtStart = true;
            }
            result.settingsMode = true;
            result.*(code->slot) = value;
            continue;
        }
        if (lower.contains(QLatin1String("custcode"))) {
            result.settingsMode = true;
            result.currentFile.clear();
            continue;
        }
        result.currentFile = argument;
    }
    return result;
}
