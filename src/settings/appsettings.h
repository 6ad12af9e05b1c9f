#pragma once

#include "download/serialports.h"
#include "settings/profilefile.h"

#include <QString>

// What the settings file keeps between runs, read once at start-up and
// written once when the main window closes.
struct AppSettings {
    static constexpr qint32 kNoPosition = 2147483647; // centre the window

    QString comPort; // [settings] comport
    QString file; // [settings] file
    qint32 left = kNoPosition; // [formmain] left
    qint32 top = kNoPosition; // [formmain] top
    QString labelFile = QStringLiteral("quilmar.lbl"); // [nicelabel] filename
    QString firmwareVariable = QStringLiteral("firmware"); // [nicelabel] varname1
    QString codesVariable = QStringLiteral("custcode"); // [nicelabel] varname2
    SerialPorts::Overrides ports; // [ports] COMn=device, never written

    // The bare file name: the program's name without its extension, plus ".ini".
    static QString fileName(const QString &programPath);
    // Where a bare name lives: $XDG_CONFIG_HOME, or ~/.config.
    static QString location(const QString &bareName);

    // Reads every key in the table's order; a missing key or an unusable
    // number gives its default. defaultPort is the first entry of the port list.
    static AppSettings read(const ProfileFile &file, const QString &defaultPort);
    // The [ports] section alone: the port list is built from it before the
    // rest is read.
    static SerialPorts::Overrides readPorts(const ProfileFile &file);
    // Writes, in one replacement of the file, the keys whose values differ
    // from read (what the program started with) or that the file lacks: a
    // key another program changed meanwhile keeps its value. False when the
    // file could not be written.
    bool write(ProfileFile &file, const AppSettings &read) const;
};
