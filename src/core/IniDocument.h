#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One INI file as a list of lines that keep their exact bytes, line break
// included: serialize() gives back the parsed bytes unchanged, and a write only
// replaces, inserts or removes whole lines. Lines are kept per section and
// sections are found through a hash, so thousands of writes to one parsed copy
// stay cheap next to saving the file.
//
// Arguments are UTF-8 bytes whose leading and trailing spaces the caller has
// already stripped; section and key names match ignoring ASCII case. A file
// whose bytes are not all valid UTF-8 was saved on Windows in code page 1252
// (ANSI): arguments are matched and written there as Windows-1252 bytes, and
// values read come back through text() in that code page, so a value read and
// written back keeps its bytes.
class IniDocument
{
public:
    // What the caller knows of its arguments: Ascii texts are the same bytes
    // in either encoding, so the file's encoding is never worked out for them.
    enum class Args : std::uint8_t { Utf8, Ascii };

    IniDocument() = default;
    IniDocument(IniDocument &&other) noexcept = default;
    IniDocument &operator=(IniDocument &&other) noexcept = default;
    IniDocument(const IniDocument &) = delete;
    IniDocument &operator=(const IniDocument &) = delete;

    // exists = false stands for a missing file: it reads as empty, and any
    // write, even a delete, creates it.
    static IniDocument parse(const QByteArray &bytes, bool exists = true);

    // Trimmed value of the first matching key in the first section of that
    // name, quotes still on; nothing when the section or key is missing.
    std::optional<std::string_view> value(std::string_view section, std::string_view key,
                                          Args args = Args::Utf8) const;
    // A value's bytes as the caller's text: up to the first NUL (the C string
    // the Windows routine handed back), in the file's encoding.
    QString text(std::string_view bytes) const;
    // The same for a reader that keeps no document: the file is ANSI when
    // not all of it is well-formed UTF-8 (isUtf8).
    static QString textOf(std::string_view bytes, bool ansiFile);
    static bool isUtf8(std::string_view bytes);

    // False when the file is ANSI and a text holds a character Windows-1252
    // cannot hold: then nothing changed.
    [[nodiscard]] bool setValue(std::string_view section, std::string_view key,
                                std::string_view value, Args args = Args::Utf8);
    void removeKey(std::string_view section, std::string_view key, Args args = Args::Utf8);
    void removeSection(std::string_view section, Args args = Args::Utf8);

    // Whether the file is ANSI text: some of its bytes are not valid UTF-8.
    bool isAnsi() const;
    bool exists() const { return m_exists; }
    // True once a write changed a byte or has to create the file.
    bool isModified() const { return m_modified; }
    QByteArray serialize() const;

private:
    enum class Kind : std::uint8_t { Blank, Comment, Header, Entry, Text };

    struct Line
    {
        std::string_view raw;   // content and line break, exactly as stored
        std::string_view key;   // Entry: trimmed key as spelled in the file
        std::string_view lower; // Entry: lower-cased key; Header: lower-cased name
        std::string_view value; // Entry: trimmed value
        Kind kind = Kind::Blank;
        std::uint8_t breakLen = 0; // 0 only for a last line without line break
    };

    struct Section
    {
        Line header;
        std::vector<Line> body;
        // A bit per key present, from its length and first and last letter; a
        // clear bit proves a key absent without a search. Deletes leave bits set.
        std::uint64_t keyBits = 0;
        // Built on demand for long sections only (null otherwise: sections are
        // moved often); maps a lower-cased key to its first entry line.
        mutable std::unique_ptr<std::unordered_map<std::string_view, std::uint32_t>> keyIndex;
    };

    // Bump allocator for the bytes of written lines and lower-cased names.
    // Nothing is freed before the document, so views into it stay valid.
    class Arena
    {
    public:
        Arena() = default;
        Arena(Arena &&other) noexcept;
        Arena &operator=(Arena &&other) noexcept;
        char *allocate(std::size_t size);

    private:
        std::vector<std::unique_ptr<char[]>> m_chunks;
        char *m_next = nullptr;
        std::size_t m_left = 0;
    };

    Line makeLine(std::string_view raw, std::uint8_t breakLen);
    std::string_view concat(std::initializer_list<std::string_view> parts);
    std::string_view lowered(std::string_view text);

    // Names in any case; the first section of that name, the first entry line of that key.
    Section *findSection(std::string_view name);
    const Section *findSection(std::string_view name) const;
    int findKey(const Section &section, std::string_view key) const;
    // Makes line key=value CRLF, stored as it parses; reparseNeeded is set when
    // the text would change the file's line structure.
    void setEntryLine(Line &line, std::string_view key, std::string_view value,
                      bool &reparseNeeded);
    Line *lastLine();
    void ensureLineBreak(Line &line);
    void rebuildSectionIndex();
    void markModified();
    void reparse(); // rare: after a written text broke the line structure
    // The arguments as the file holds them: as given in a UTF-8 file, in
    // Windows-1252 (in storage) in an ANSI one. False when one holds a
    // character Windows-1252 cannot.
    bool toFileBytes(Args args, std::string &storage,
                     std::initializer_list<std::string_view *> texts) const;
    // Keeps the count of lines that are not valid UTF-8, once there is one.
    void countLine(std::string_view raw, int change)
    {
        if (m_invalidLines >= 0)
            countLineNow(raw, change);
    }
    void countLineNow(std::string_view raw, int change);

    QByteArray m_source; // parsed bytes; untouched lines point into it
    Arena m_arena;
    std::vector<Line> m_preamble; // before the first header: never reachable
    std::vector<Section> m_sections;
    std::unordered_map<std::string_view, std::uint32_t> m_sectionIndex; // first of a name
    static constexpr std::size_t kNoSection = ~std::size_t(0);
    // The section found last, always the first of its name, and how it was asked for.
    mutable std::size_t m_lastSection = kNoSection;
    mutable std::string m_lastSectionName;
    // Lines whose bytes are not valid UTF-8, or -1 before anything asked: a
    // single ANSI byte anywhere makes the file ANSI, and a file that only ever
    // meets ASCII texts never needs to know.
    mutable std::int64_t m_invalidLines = -1;
    bool m_exists = true;
    bool m_modified = false;
};
