#pragma once

#include <QString>

#include <cstdint>
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
