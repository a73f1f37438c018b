#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <type_traits>

// A broken invariant aborts like a crash, so libFuzzer keeps the input that
// broke it and the fuzz run fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The same, printing what was found next to what was expected.
#define FUZZ_CHECK_EQ(actual, expected)                                                            \
    do {                                                                                           \
        const auto &fuzzActual = (actual);                                                         \
        const auto &fuzzExpected = (expected);                                                     \
        if (!(fuzzActual == fuzzExpected)) {                                                       \
            std::fprintf(                                                                          \
                stderr, "%s:%d: invariant broken: %s == %s\n  got:      %s\n  expected: %s\n",     \
                __FILE__, __LINE__, #actual, #expected, fuzzQuoted(fuzzActual).constData(),        \
                fuzzQuoted(fuzzExpected).constData());                                             \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Printable form of a value in a failure report: bytes escaped as C would.
inline QByteArray fuzzQuoted(const QByteArray &bytes)
{
    QByteArray out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && c != '"' && c != '\\')
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out + '"';
}
inline QByteArray fuzzQuoted(std::string_view bytes)
{
    return fuzzQuoted(QByteArray(bytes.data(), qsizetype(bytes.size())));
}
inline QByteArray fuzzQuoted(const std::optional<std::string_view> &bytes)
{
    return bytes ? fuzzQuoted(*bytes) : QByteArray("(none)");
}
inline QByteArray fuzzQuoted(const QString &text)
{
    return fuzzQuoted(text.toUtf8());
}
inline QByteArray fuzzQuoted(bool value)
{
    return value ? "true" : "false";
}
template<typename Number>
requires std::is_arithmetic_v<Number> QByteArray fuzzQuoted(Number value)
{
    return QByteArray::number(value);
}
