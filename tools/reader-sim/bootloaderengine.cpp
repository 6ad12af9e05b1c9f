#include "reader-sim/bootloaderengine.h"

namespace {

constexpr char kWakeup = char(0xEA);
constexpr char kWakeupReply = char(0xEB);
constexpr char kWrite = char(0xE3);
constexpr char kEnd = char(0xED);
constexpr char kReplyAck = char(0xE4);
constexpr qsizetype kWriteHeader = 5;

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace

BootloaderEngine::BootloaderEngine(SimulatorFaults faults)
    : m_faults(std::move(faults))
{
}

QList<BootloaderEngine::Answer> BootloaderEngine::feed(QByteArrayView bytes)
{
    QList<Answer> answers;
    for (const char byte : bytes) {
        if (m_message.isEmpty() && byte != kWakeup && byte != kWrite && byte != kEnd) {
            answers << Answer{
                {}, false, false, QStringLiteral("stray byte %1 ignored").arg(hex({&byte, 1}))};
            continue;
        }
        m_message.append(byte);
        const bool whole = m_message[0] != kWrite
            || (m_message.size() >= kWriteHeader
                && m_message.size() == kWriteHeader + static_cast<unsigned char>(m_message[3]));
        if (whole) {
            answers << complete();
            m_message.clear();
        }
    }
    return answers;
}

BootloaderEngine::Answer BootloaderEngine::complete()
{
    if (m_message[0] == kWakeup) {
        ++m_wakeups;
        if (m_wakeups <= m_faults.ignoreWakeups)
            return {{}, false, false, QStringLiteral("wake-up %1 ignored").arg(m_wakeups)};
        QByteArray reply(1, kWakeupReply);
        if (m_faults.strayByte && m_wakeups == m_faults.ignoreWakeups + 1)
            reply.prepend('\0');
        return {reply, false, false, QStringLiteral("wake-up -> %1").arg(hex(reply))};
    }

    const int number = ++m_messages;
    Answer answer = m_message[0] == kEnd
        ? Answer{QByteArray(1, kReplyAck), false, true, QStringLiteral("end")}
        : write();
    if (m_faults.silent.contains(number)) {
        answer.reply.clear();
        answer.completed = false;
    }
    answer.close = m_faults.closeAfter.contains(number);
    answer.log = QStringLiteral("message %1: %2 -> %3%4")
                     .arg(number)
                     .arg(answer.log,
                          answer.reply.isEmpty() ? QStringLiteral("(silent)") : hex(answer.reply),
                          answer.close ? QStringLiteral(", closing") : QString());
    return answer;
}

BootloaderEngine::Answer BootloaderEngine::write()
{
    const int number = m_messages;
    const auto byteAt
        = [this](qsizetype i) { return int(static_cast<unsigned char>(m_message[i])); };
    const int first = byteAt(1) << 8 | byteAt(2);
    const int count = byteAt(3);
    int sum = 0;
    for (qsizetype i = kWriteHeader; i < m_message.size(); ++i)
        sum += byteAt(i);
    const QString what = QStringLiteral("write %1 words at 0x%2")
                             .arg(count / 2)
                             .arg(first, 4, 16, QLatin1Char('0'));

    const QByteArray failed("\xE7\xE5", 2);
    const QByteArray rejected("\xE8", 1);
    // Program memory is written in rows of four words: a write there must end
    // at a row boundary (it may start inside a row).
    const bool rowEnd = first > ReaderMemory::kProgramLast || (first + count / 2) % 4 == 0;
    if (m_faults.notAccepted.contains(number) || count % 2 != 0
        || !ReaderMemory::holds(first, count / 2) || !rowEnd)
        return {rejected, false, false, what};
    if (m_faults.writeFailed.contains(number) || (sum & 0xFF) != byteAt(4))
        return {failed, false, false, what};
    for (int k = 0; k < count / 2; ++k) {
        const qsizetype pos = kWriteHeader + 2 * k;
        m_memory.write(first + k, std::uint16_t(byteAt(pos) << 8 | byteAt(pos + 1)));
    }
    return {QByteArray("\xE7\xE4", 2), false, false, what};
}
