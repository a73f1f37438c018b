#pragma once

#include <QByteArray>

// The limits the metrics endpoint holds a request's head to, counted as its
// bytes arrive and before the HTTP library sees them: at most MaxBytes for
// the request line and headers, MaxHeaders header lines, and a request line
// of the form "METHOD TARGET HTTP/1.x". Heads follow one another on a kept
// connection; a body is counted as the next head (the endpoint takes none).
class HttpHeadLimit
{
public:
    static constexpr qsizetype MaxBytes = 8 * 1024;
    static constexpr int MaxHeaders = 64;

    enum class Verdict {
        Reading,        // within the limits, a head not yet whole
        Complete,       // every head so far whole and within the limits
        TooLarge,       // 431
        TooManyHeaders, // 431
        Malformed       // 400
    };

    // The bytes that came in; once a limit is broken every later call says so.
    Verdict feed(const char *data, qsizetype size);
    Verdict feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }
    // Part of a head has come (a request is being sent).
    bool started() const { return m_bytes > 0; }

private:
    bool endLine();

    Verdict m_broken = Verdict::Reading;
    qsizetype m_bytes = 0; // of the head being read
    int m_headers = 0;     // its header lines so far
    bool m_inHeaders = false;
    QByteArray m_line; // the request line being read
    qsizetype m_lineLength = 0;
    bool m_colon = false;  // the header line being read has one
    bool m_lastCr = false; // its last byte so far was a carriage return
};
