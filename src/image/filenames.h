#pragma once

#include <QString>

// File-name helpers of the firmware image.

// The name as found on disk: when the name part holds wildcards, or no file
// of exactly that name exists, the first directory entry (files only, hidden
// included, in name order) that matches it without regard to case replaces
// the name part, which also gives it the letter case it has on disk. Without
// a match the name is returned unchanged.
QString resolveFileName(const QString &fileName);

// Whether name matches pattern, '*' standing for any run of characters and
// '?' for one, letters compared without regard to case.
bool wildcardMatch(QStringView pattern, QStringView name);

// The file name without directory and extension. '\\', '/' and ':' all
// separate directories, so names from either platform give the same result.
QString imageBaseName(const QString &fileName);

// The name the save dialog proposes: the base name cut after its version
// ("reader_v2.10_CF007" gives "reader_v2.10", a name without "_v" is cut at
// its first '_'), then "_CF%.3d", "_DF%.4d" and "_GF%.3d" for the codes above 0.
QString defaultSaveName(const QString &currentFileName, int cfCode, int dfCode, int gfCode);

// The name a save writes: the chosen name with "." and the extension added
// unless it already ends in them (letters compared without case). Whatever
// follows another dot stays part of the name: a version such as
// "reader_v1.00_CF012" is no extension.
QString withExtension(const QString &fileName, const QString &extension);
