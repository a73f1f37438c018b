#include "metrics/HttpHeadLimit.h"

namespace {

// RFC 9110's token characters, which a method is made of.
bool tokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool requestLine(const QByteArray &line)
{
    const qsizetype first = line.indexOf(' ');
    const qsizetype last = line.lastIndexOf(' ');
    if (first <= 0 || last <= first + 1 || line.indexOf(' ', first + 1) != last)
        return false;
    for (qsizetype i = 0; i < first; ++i)
        if (!tokenChar(line.at(i)))
            return false;
    for (qsizetype i = first + 1; i < last; ++i)
        if (uchar(line.at(i)) <= 0x20 || uchar(line.at(i)) == 0x7f)
            return false;
    const QByteArray version = line.mid(last + 1);
    return version.size() == 8 && version.startsWith("HTTP/1.") && version.at(7) >= '0' &&
           version.at(7) <= '9';
}

} // namespace

bool HttpHeadLimit::endLine()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    const bool empty = m_lineLength == 0 || (m_lineLength == 1 && m_lastCr);
    bool ok = true;
    if (!m_inHeaders) {
        if (empty) {
            // An empty line before the request line is let pass.
        } else if (requestLine(m_line)) {
            m_inHeaders = true;
        } else {
            ok = false;
        }
    } else if (empty) {
        // The empty line: the head is whole; the next bytes begin another.
        m_inHeaders = false;
        m_headers = 0;
        m_bytes = 0;
    } else if (!m_colon) {
        ok = false;
    } else if (++m_headers > MaxHeaders) {
        m_broken = Verdict::TooManyHeaders;
    }
    m_line.clear();
    m_lineLength = 0;
    m_colon = false;
    m_lastCr = false;
    if (!ok)
        m_broken = Verdict::Malformed;
    return m_broken == Verdict::Reading;
}

HttpHeadLimit::Verdict HttpHeadLimit::feed(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size && m_broken == Verdict::Reading; ++i) {
        const char c = data[i];
        if (++m_bytes > MaxBytes) {
            m_broken = Verdict::TooLarge;
            break;
        }
        if (c == '\0') {
            m_broken = Verdict::Malformed;
            break;
        }
        if (c == '\n') {
            endLine();
            continue;
        }
        ++m_lineLength;
        m_lastCr = c == '\r';
        if (!m_inHeaders)
            m_line += c;
        else if (c == ':')
            m_colon = true;
        else if (m_lineLength == 1 && (c == ' ' || c == '\t'))
            m_broken = Verdict::Malformed; // a folded header line, long obsolete
    }
    if (m_broken != Verdict::Reading)
        return m_broken;
    return m_bytes == 0 ? Verdict::Complete : Verdict::Reading;
}
