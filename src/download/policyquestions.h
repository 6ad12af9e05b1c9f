#pragma once

#include "download/downloadquestions.h"

#include <QStringList>

// The answers of a front end with nobody at it: Retry while retries are
// left (counted over the whole download), then Abort, which cancels the
// download as the window's Abort does. Cancel needs no confirmation, and
// outcomes are read from the engine's finished() rather than shown.
class PolicyQuestions : public DownloadQuestions {
public:
    explicit PolicyQuestions(int retries)
        : m_retries(retries)
        , m_retriesLeft(retries)
    {
    }

    // A new download, with the whole budget again.
    void renew()
    {
        m_retriesLeft = m_retries;
        m_failures.clear();
        m_told.clear();
    }

    bool retryAfterFailure(const QString &failure) override
    {
        m_failures << failure;
        if (m_retriesLeft <= 0)
            return false;
        --m_retriesLeft;
        return true;
    }
    bool confirmCancel() override { return true; }
    void tell(Dialogs::Icon, const QString &text) override { m_told << text; }

    // Every failure asked about, and every text a window would have shown.
    const QStringList &failures() const { return m_failures; }
    const QStringList &told() const { return m_told; }

private:
    int m_retries;
    int m_retriesLeft;
    QStringList m_failures;
    QStringList m_told;
};
