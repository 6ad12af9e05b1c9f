#pragma once

#include "dialogs/dialogs.h"

#include <QList>
#include <QString>

#include <functional>

// Dialogs that answer from a script and remember what was asked. A hook runs
// while a box is "open", to deliver events the way a nested event loop would.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        Icon icon;
        QString text;
        Buttons buttons;
    };

    QList<Answer> answers; // taken front first; Ok / Yes / Retry... as fits
    QList<Shown> shown;
    std::function<void()> whileOpen;
    QStringList fileNames; // answers of the file dialogs; empty: cancelled
    QList<FileRequest> fileRequests;

    Answer message(Icon icon, const QString &text, Buttons buttons) override
    {
        shown.append({icon, text, buttons});
        if (whileOpen) {
            auto hook = std::move(whileOpen);
            whileOpen = nullptr;
            hook();
        }
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == Buttons::YesNo     ? Answer::No
            : buttons == Buttons::AbortRetry ? Answer::Abort
                                             : Answer::Ok;
    }

    int closedMessages = 0; // calls of closeMessages()
    void closeMessages() override { ++closedMessages; }

    QString openFileName(const FileRequest &request) override
    {
        fileRequests.append(request);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    QString saveFileName(const FileRequest &request) override
    {
        fileRequests.append(request);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    QList<std::optional<QString>> inputs; // answers of the input boxes; nothing: cancelled
    QStringList prompts;
    std::optional<QString> inputText(const QString &title, const QString &prompt,
                                     const QString &preset) override
    {
        prompts << title + QLatin1Char('|') + prompt + QLatin1Char('|') + preset;
        return inputs.isEmpty() ? std::nullopt : inputs.takeFirst();
    }

    QStringList texts() const
    {
        QStringList list;
        for (const Shown &s : shown)
            list << s.text;
        return list;
    }
};
