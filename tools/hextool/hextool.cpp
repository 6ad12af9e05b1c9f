#include "hextool/hextool.h"

#include "common/corvanterror.h"
#include "hextool/commands.h"
#include "image/imageloader.h"
#include "image/imagesaver.h"

namespace HexTool {

const char kUsage[]
    = "usage: corvant-hextool info [--json] FILE\n"
      "       corvant-hextool encrypt IN OUT\n"
      "       corvant-hextool decrypt IN OUT\n"
      "       corvant-hextool patch IN OUT [--cf N] [--c N] [--df N] [--d N] [--gf N]\n"
      "                                    [--g N] [--a N] [--b N] [--relay SECONDS]\n"
      "                                    [--facility N] [--encrypt]\n"
      "\n"
      "info     tells whether FILE is a usable firmware file (plain or encrypted) and\n"
      "         what it holds; exit 0 when valid, 2 when not. --json: the same facts\n"
      "         as one JSON object (empty code slots and values not held as null)\n"
      "encrypt  writes IN as an encrypted hex file to OUT\n"
      "decrypt  writes IN as a plain hex file to OUT\n"
      "patch    writes the reader options given into IN, encoded as the settings panel\n"
      "         writes them, and the result to OUT (encrypted with --encrypt). Customer\n"
      "         codes: CF, C and A 0-999, DF, D and B 0-9999, GF and G 0-255, 0 for an\n"
      "         empty slot; relay time 1.0-25.5 seconds; facility code 0-65535. Options\n"
      "         not given stay exactly as the image holds them.\n"
      "\n"
      "OUT is replaced only once it is completely written. Exit codes: 0 done, 1 usage\n"
      "error, 2 invalid input file or option value, 3 OUT cannot be written.\n";

namespace {

} // namespace

bool loadValid(QString &fileName, FirmwareImage &image, QTextStream &err)
{
    LoadReport report;
    if (loadImage(fileName, image, &report))
        return true;
    err << QStringLiteral("corvant-hextool: %1: not a usable firmware file: %2\n")
               .arg(fileName, report.reason());
    return false;
}

int writeOutput(FirmwareImage &image, const ImageOutput::OptionChanges &changes, bool encrypt,
                const QString &output, QTextStream &out, QTextStream &err)
{
    try {
        ImageOutput::prepare(image, changes,
                             encrypt ? ImageOutput::Form::Encrypted : ImageOutput::Form::Plain);
        saveImage(image.records, output);
    } catch (const CorvantError &e) {
        err << QStringLiteral("corvant-hextool: cannot write %1: %2\n").arg(output, e.message());
        return kExitWriteFailed;
    }
    out << QStringLiteral("wrote %1 (%2)\n")
               .arg(output, encrypt ? QStringLiteral("encrypted") : QStringLiteral("plain"));
    return kExitOk;
}

int convert(QString input, const QString &output, bool encrypt, QTextStream &out, QTextStream &err)
{
    FirmwareImage image;
    if (!loadValid(input, image, err))
        return kExitInvalidFile;
    return writeOutput(image, {}, encrypt, output, out, err);
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString command = arguments.value(0);
    int result = kExitUsage;
    if (command == QLatin1String("info") && arguments.size() == 2)
        result = info(arguments[1], out);
    else if (command == QLatin1String("info") && arguments.size() == 3
             && arguments.contains(QLatin1String("--json")))
        result = info(arguments[arguments[1] == QLatin1String("--json") ? 2 : 1], out, true);
    else if (command == QLatin1String("encrypt") && arguments.size() == 3)
        result = convert(arguments[1], arguments[2], true, out, err);
    else if (command == QLatin1String("decrypt") && arguments.size() == 3)
        result = convert(arguments[1], arguments[2], false, out, err);
    else if (command == QLatin1String("patch"))
        result = patch(arguments.mid(1), out, err);
    else if (arguments.size() == 1
             && (command == QLatin1String("--help") || command == QLatin1String("-h"))) {
        out << kUsage;
        result = kExitOk;
    } else {
        result = kExitUsage;
    }
    if (result == kExitUsage)
        err << kUsage;
    out.flush();
    err.flush();
    return result;
}

} // namespace HexTool
