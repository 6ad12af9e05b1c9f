#include "image/recordlist.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

constexpr QByteArrayView kUtf8ByteOrderMark("\xEF\xBB\xBF");

} // namespace

RecordList RecordList::fromText(QByteArray text)
{
    const qsizetype lines = countLines(text);
    return fromText(std::move(text), lines);
}

RecordList RecordList::fromText(QByteArray text, qsizetype lines)
{
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);

    RecordList list;
    const char *data = text.constData();
    const qsizetype size = text.size();

    // memchr finds the next LF fast; a CR before it either belongs to it
    // (CR LF) or ends a line of its own. The LF found is kept until passed, so
    // a file of lone CRs is still read in one sweep.
    const char *begin = data;
    const char *end = data + size;
    // Editors on Windows start a UTF-8 file with a byte-order mark; left in,
    // it would turn the first record into a line that is not a record. Every
    // mark at the start goes (a file passed through two such editors has
    // two): one left in the first line would be taken as the start mark
    // once the lines are written out and read again, and the file would
    // then read differently.
    const char *p = begin;
    while (QByteArrayView(p, end - p).startsWith(kUtf8ByteOrderMark))
        p += kUtf8ByteOrderMark.size();
    // The exact count: no regrowth, and no more room than the lines need.
    list.m_lines.reserve(std::size_t(lines));
    const char *lf = nullptr;
    bool lfKnown = false;
    while (p < end) {
        if (!lfKnown || (lf && lf < p)) {
            lf = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
            lfKnown = true;
        }
        const char *stop = lf ? lf : end;
        const char *cr = static_cast<const char *>(std::memchr(p, '\r', std::size_t(stop - p)));
        if (cr) {
            list.m_lines.push_back({quint32(p - begin), quint32(cr - p)});
            p = cr + 1;
            if (p == lf)
                ++p; // CR LF
        } else {
            list.m_lines.push_back({quint32(p - begin), quint32(stop - p)});
            if (!lf)
                break;
            p = lf + 1;
        }
    }

    list.m_buffer = std::move(text);
    return list;
}

qsizetype RecordList::countLines(QByteArrayView text, qsizetype limit)
{
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    if (text.isEmpty())
        return 0;
    // Every LF ends a line, and every CR but one before an LF. memchr leaps
    // over a record line at a time.
    const char *begin = text.data();
    const char *end = begin + text.size();
    qsizetype breaks = 0;
    for (const char *p = begin; breaks <= limit
         && (p = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p))));
         ++p)
        ++breaks;
    for (const char *p = begin; breaks <= limit
         && (p = static_cast<const char *>(std::memchr(p, '\r', std::size_t(end - p))));
         ++p) {
        if (p + 1 == end || p[1] != '\n')
            ++breaks;
    }
    if (breaks > limit)
        return breaks;
    const char last = end[-1];
    return breaks + (last == '\n' || last == '\r' ? 0 : 1);
}

qsizetype RecordList::maximumLines(qsizetype textSize)
{
    return std::max<qsizetype>(4096, textSize / 3);
}

qsizetype RecordList::lineOfStrayZero(QByteArrayView text)
{
    const qsizetype zero = text.indexOf('\0');
    if (zero < 0)
        return 0;
    const char *rest = text.data() + zero;
    const char *end = text.data() + text.size();
    if (std::all_of(rest, end, [](char c) { return c == 0; }))
        return 0;
    // Line terminators before it: CR LF, a lone CR or a lone LF.
    qsizetype line = 1;
    for (qsizetype i = 0; i < zero; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= zero || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

QByteArrayView RecordList::at(qsizetype index) const
{
    Q_ASSERT(index >= 0 && index < size());
    const Span &span = m_lines[std::size_t(index)];
    return QByteArrayView(m_buffer.constData() + span.offset, span.length);
}

void RecordList::replace(qsizetype index, QByteArrayView line)
{
    Q_ASSERT(index >= 0 && index < size());
    Span &span = m_lines[std::size_t(index)];
    if (span.length == line.size()) {
        if (line.size() > 0)
            std::memmove(m_buffer.data() + span.offset, line.data(), std::size_t(line.size()));
        return;
    }
    // A line of another length goes to the end of the buffer; the old bytes
    // stay unused until the list is rebuilt by the next load.
    const qsizetype offset = appendToBuffer(line);
    span.offset = quint32(offset);
    span.length = quint32(line.size());
}

void RecordList::append(QByteArrayView line)
{
    const qsizetype offset = appendToBuffer(line);
    m_lines.push_back({quint32(offset), quint32(line.size())});
}

qsizetype RecordList::appendToBuffer(QByteArrayView line)
{
    const qsizetype offset = m_buffer.size();
    // Offsets are 32 bits: far beyond any file that loads (256 MiB).
    if (offset + line.size() > qsizetype(std::numeric_limits<quint32>::max()))
        throw std::length_error("record list beyond 4 GiB");
    const char *begin = m_buffer.constData();
    if (line.data() >= begin && line.data() < begin + m_buffer.size())
        m_buffer.append(line.toByteArray()); // the source would move with the buffer
    else
        m_buffer.append(line);
    return offset;
}

void RecordList::clear()
{
    m_buffer.clear();
    m_lines.clear();
}

QByteArray RecordList::toText() const
{
    qsizetype total = 0;
    for (const Span &span : m_lines)
        total += span.length + 2;

    QByteArray text;
    text.reserve(total);
    for (const Span &span : m_lines) {
        text.append(m_buffer.constData() + span.offset, span.length);
        text.append("\r\n", 2);
    }
    return text;
}

bool operator==(const RecordList &a, const RecordList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i) != b.at(i))
            return false;
    }
    return true;
}
