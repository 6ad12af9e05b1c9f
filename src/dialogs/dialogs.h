#pragma once

#include <QString>

#include <optional>

// The modal questions of the program, behind one interface: the window uses
// message boxes whose nested event loop keeps link events and timers running;
// tests answer from a script.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Error };
    enum class Buttons { Ok, YesNo, AbortRetry };
    enum class Answer { Ok, Yes, No, Abort, Retry, Closed };

    virtual ~Dialogs() = default;

    // Shows text with the icon's type and caption and the buttons; returns
    // the button pressed (Closed when the box was dismissed otherwise).
    virtual Answer message(Icon icon, const QString &text, Buttons buttons) = 0;
    // Closes the message boxes open now; each returns Closed.
    virtual void closeMessages() = 0;

    struct FileRequest {
        QString title;
        QString filter; // Qt form: "Hex file (*.hex);;Any file (*)"
        QString directory; // initial folder
        QString defaultSuffix;
        QString fileName; // proposed name (save dialog)
    };
    // An existing file chosen by the technician, or an empty text when cancelled.
    virtual QString openFileName(const FileRequest &request) = 0;
    // A file to write in an existing folder, the technician asked before an
    // existing file is replaced; an empty text when cancelled.
    virtual QString saveFileName(const FileRequest &request) = 0;

    // A line of text; nothing when cancelled.
    virtual std::optional<QString> inputText(const QString &title, const QString &prompt,
                                             const QString &preset)
        = 0;
};
