#pragma once

#include <QString>
#include <optional>

// Private-profile (INI) file access that works on the file's bytes line by
// line: a write changes only the lines it must and keeps every other byte.
// Texts are UTF-8 on disk, except in a file saved on Windows in code page 1252
// (one whose bytes are not all valid UTF-8): there they are read and written
// as Windows-1252, so a value read and written back keeps its bytes, and a
// write of a character it cannot hold fails. Outside a batch every call goes
// to the file as it is on disk now; every write replaces the file atomically.
namespace IniFile {

// Value of key in section, quotes stripped once, up to a NUL in it, or
// defaultValue (its trailing blanks removed) when the file, section or key is
// missing. At most bufferSize - 1 characters come back.
QString readString(const QString &path, const QString &section, const QString &key,
                   const QString &defaultValue = QString(), int bufferSize = 255);

// Writes key=value. No value deletes the key's first entry line; no key
// deletes the section's header and its entry lines. False when the file
// could not be written; then nothing on disk changed. Inside a batch the
// write only joins the batch, and the batch's commit() tells.
[[nodiscard]] bool writeString(const QString &path, const QString &section,
                               const std::optional<QString> &key,
                               const std::optional<QString> &value);

// Writes key=value: the usual case of writeString, without making optional
// copies of the texts (a configuration save makes thousands of these calls).
[[nodiscard]] bool writeValue(const QString &path, const QString &section, const QString &key,
                              const QString &value);
// Deletes the key's first entry line: writeString without a value.
[[nodiscard]] bool deleteKey(const QString &path, const QString &section, const QString &key);

} // namespace IniFile

// While a batch for a path is alive, reads and writes of that path work on one
// parsed copy; the file is written once, when the batch ends (or commit()).
// Batches do not nest for the same path: an inner one joins the outer one.
class IniBatch
{
public:
    explicit IniBatch(const QString &path);
    ~IniBatch();
    IniBatch(const IniBatch &) = delete;
    IniBatch &operator=(const IniBatch &) = delete;

    // Writes the file now if the batch changed it; true on success or when
    // nothing had to be written. Later calls are no-ops returning the result.
    [[nodiscard]] bool commit();
    // Why commit() failed, in the system's words ("Permission denied"), or
    // which key the file's Windows-1252 text could not take.
    QString errorString() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    bool m_owner = false;
    bool m_committed = false;
    bool m_result = true;
};
