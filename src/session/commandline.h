#pragma once

#include "dialogs/dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for, read argument by argument (the last of a
// kind wins). Every argument is compared in lower case.
struct CommandLine {
    struct Message {
        Dialogs::Icon icon;
        QString text;
    };

    std::optional<QString> port; // "port=", upper-cased
    QString currentFile; // starts as the settings file's, changed by file names
    bool autoRequested = false; // "mode=auto"
    bool tickAll = false; // "mode=all": both download boxes
    bool settingsMode = false; // a customer code, or "custcode" anywhere
    std::optional<int> cf, df, gf; // the first CF, DF and GF slots
    bool quitAtStart = false; // usage shown or an invalid customer code
    QList<Message> messages; // to show, in order

    // arguments: without the program; programPath: shown by the usage text.
    static CommandLine parse(const QStringList &arguments, const QString &programPath,
                             const QString &currentFile);
};
