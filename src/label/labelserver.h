#pragma once

#include "common/corvanterror.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

// The server cannot be reached or bound: raised by any operation.
class LabelServerError : public CorvantError {
public:
    using CorvantError::CorvantError;
};

// The label-printing server: five operations, each returning a 32-bit
// status, 0 meaning success.
class LabelServer {
public:
    virtual ~LabelServer() = default;

    // StartDesigner without waiting for a server that is slow to start: done
    // gets true once the call returned (whatever its status), false when it
    // raised an error. It is not called once context is gone. This default
    // makes the call at once and reports before it returns.
    virtual void startDesignerAsync(QObject *context, std::function<void(bool)> done)
    {
        const QPointer<QObject> alive(context);
        bool answered = true;
        try {
            StartDesigner();
        } catch (const LabelServerError &) {
            answered = false;
        }
        if (alive)
            done(answered);
    }

    virtual std::int32_t StartDesigner() = 0;
    virtual std::int32_t QuitDesigner() = 0;
    virtual std::int32_t OpenLabel(const QString &fileName) = 0;
    virtual std::int32_t SetVariable(const QString &name, const QString &value) = 0;
    virtual std::int32_t PrintLabel(std::int32_t quantity) = 0;
};

// No server at all: every operation raises LabelServerError, so label
// printing is reported not available.
class UnavailableLabelServer : public LabelServer {
public:
    std::int32_t StartDesigner() override { fail(); }
    std::int32_t QuitDesigner() override { fail(); }
    std::int32_t OpenLabel(const QString &) override { fail(); }
    std::int32_t SetVariable(const QString &, const QString &) override { fail(); }
    std::int32_t PrintLabel(std::int32_t) override { fail(); }

private:
    [[noreturn]] static void fail()
    {
        throw LabelServerError(QStringLiteral("label printing is not available"));
    }
};
