#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>

// The server cannot be reached or bound: raised by any operation.
class LabelServerError : public std::runtime_error
{
public:
    explicit LabelServerError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// The label-printing server: five operations, each returning a 32-bit
// status, 0 meaning success.
class LabelServer
{
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
        } catch (...) { // an error of any kind: not available
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
class UnavailableLabelServer : public LabelServer
{
public:
    std::int32_t StartDesigner() override { fail(); }
    std::int32_t QuitDesigner() override { fail(); }
    std::int32_t OpenLabel(const QString &) override { fail(); }
    std::int32_t SetVariable(const QString &, const QString &) override { fail(); }
    std::int32_t PrintLabel(std::int32_t) override { fail(); }

private:
    [[noreturn]] static void fail() { throw LabelServerError(QStringLiteral("label printing is not available")); }
};
