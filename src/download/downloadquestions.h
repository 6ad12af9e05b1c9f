#pragma once

#include "dialogs/dialogs.h"

#include <QCoreApplication>
#include <QString>

// What a download asks of whoever runs it. A window asks the technician in
// message boxes whose event loops keep the link's events running; a
// headless front end answers by policy.
class DownloadQuestions {
public:
    virtual ~DownloadQuestions() = default;

    // A write failed or had no reply ("Write failed", "Communication
    // timeout"): true sends the message again, false cancels the download.
    virtual bool retryAfterFailure(const QString &failure) = 0;
    // Cancel was asked for while the reader is being written: true stops.
    virtual bool confirmCancel() = 0;
    // The outcome of a download, or why the port did not open; returns once
    // taken note of. The link is still open meanwhile.
    virtual void tell(Dialogs::Icon icon, const QString &text) = 0;
    // The download ended while a question was open: it goes away unanswered.
    virtual void withdraw() { }
};

// The window's questions: message boxes.
class DialogQuestions : public DownloadQuestions {
public:
    explicit DialogQuestions(Dialogs &dialogs)
        : m_dialogs(dialogs)
    {
    }

    bool retryAfterFailure(const QString &failure) override
    {
        return m_dialogs.message(
                   Dialogs::Icon::Error,
                   QCoreApplication::translate("DownloadEngine", failure.toUtf8().constData()),
                   Dialogs::Buttons::AbortRetry)
            == Dialogs::Answer::Retry;
    }
    bool confirmCancel() override
    {
        return m_dialogs.message(Dialogs::Icon::Warning,
                                 QCoreApplication::translate("DownloadQuestions",
                                                             "Are you sure to abort the download?"),
                                 Dialogs::Buttons::YesNo)
            == Dialogs::Answer::Yes;
    }
    void tell(Dialogs::Icon icon, const QString &text) override
    {
        m_dialogs.message(icon, text, Dialogs::Buttons::Ok);
    }
    void withdraw() override { m_dialogs.closeMessages(); }

private:
    Dialogs &m_dialogs;
};
