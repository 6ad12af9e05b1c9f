#pragma once

#include "download/link.h"

#include <QByteArray>
#include <QList>

// A link whose far end is the test: it records what is written and delivers
// the bytes the test hands it.
class FakeLink : public Link {
public:
    LinkSettings current;
    bool opened = false;
    int configureCalls = 0;
    int openCalls = 0;
    QList<QByteArray> written;
    QByteArray waiting;
    bool failOpen = false; // throw PortOpenError / SocketError(111)
    bool failWrites = false;
    bool failAfterOpening = false; // the connection fails inside open()

    void configure(const LinkSettings &settings) override
    {
        ++configureCalls;
        current = settings;
    }
    const LinkSettings &settings() const override { return current; }
    void open() override
    {
        ++openCalls;
        if (failOpen) {
            if (current.layer == LinkSettings::Layer::Tcp)
                throw SocketError(111);
            throw PortOpenError(QStringLiteral("no such port"));
        }
        opened = true;
        if (failAfterOpening) {
            opened = false;
            emit socketError(101);
        }
    }
    void close() override { opened = false; }
    // Like the real links: a TCP host connects after open() returned.
    bool connectsAsynchronously() const override
    {
        return current.layer == LinkSettings::Layer::Tcp;
    }
    bool isOpen() const override { return opened; }
    void write(QByteArrayView bytes) override
    {
        if (failWrites)
            throw LinkError(QStringLiteral("write failed"));
        written << bytes.toByteArray();
    }
    qint64 bytesWaiting() const override { return waiting.size(); }
    std::uint8_t readByte() override
    {
        const auto byte = std::uint8_t(waiting.at(0));
        waiting.remove(0, 1);
        return byte;
    }

    // The reader answers: the bytes arrive as one data-available event.
    void reply(const QByteArray &bytes)
    {
        waiting += bytes;
        emit dataAvailable(quint16(waiting.size()));
    }
};
