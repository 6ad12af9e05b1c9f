#pragma once

#include "image/firmwareimage.h"
#include "options/imageoutput.h"

#include <QStringList>
#include <QTextStream>

// The subcommands of corvant-hextool and what they share.
namespace HexTool {

// json: one JSON object with the same facts (an empty code slot, and a value
// the image does not hold or that cannot be read, as null).
int info(QString fileName, QTextStream &out, bool json = false);
int convert(QString input, const QString &output, bool encrypt, QTextStream &out, QTextStream &err);
// arguments: everything after "patch".
int patch(const QStringList &arguments, QTextStream &out, QTextStream &err);

// Loads a file that must be valid; reports why not on err.
bool loadValid(QString &fileName, FirmwareImage &image, QTextStream &err);
// Prepares the image for output (the options named, encrypted when asked),
// then saves it; reports a failure on err. Returns the exit code.
int writeOutput(FirmwareImage &image, const ImageOutput::OptionChanges &changes, bool encrypt,
                const QString &output, QTextStream &out, QTextStream &err);

} // namespace HexTool
