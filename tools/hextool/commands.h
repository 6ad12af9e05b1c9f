#pragma once

#include "image/firmwareimage.h"
#include "options/imageoutput.h"

#include <QStringList>
#include <QTextStream>

// The subcommands of corvant-hextool and what they share.
namespace HexTool {

int info(QString fileName, QTextStream &out);
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
