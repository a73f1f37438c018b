#include "core/IniDocument.h"

#include <cstring>
#include <string>
#include <utility>

namespace {

// Sections shorter than this are searched line by line; a hash would cost more.
constexpr std::size_t kKeyIndexFrom = 48;
constexpr std::size_t kArenaChunk = 64 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimmed(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool hasUpper(std::string_view text)
{
    bool upper = false;
    for (const char c : text)
        upper |= (c >= 'A') & (c <= 'Z');
    return upper;
}

// Compares a stored lower-cased name with an argument in any case, without
// copying it; most keys of a section already differ in length or first letter.
bool matches(std::string_view lower, std::string_view name)
{
    if (lower.size() != name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (lower[i] != lowerAscii(name[i]))
            return false;
    }
    return true;
}

std::uint64_t keyBit(std::string_view key)
{
    if (key.empty())
        return 1;
    const unsigned mix = unsigned(key.size()) * 7u +
                         unsigned(static_cast<unsigned char>(lowerAscii(key.front()))) * 3u +
                         unsigned(static_cast<unsigned char>(lowerAscii(key.back())));
    return std::uint64_t(1) << (mix & 63u);
}

bool hasLineBreak(std::string_view text)
{
    bool lineBreak = false;
    for (const char c : text)
        lineBreak |= (c == '\r') | (c == '\n');
    return lineBreak;
}

bool isAscii(std::string_view text)
{
    unsigned char bits = 0;
    for (const char c : text)
        bits |= static_cast<unsigned char>(c);
    return bits < 0x80;
}

// Well-formed UTF-8 as Unicode defines it: no overlong forms, surrogates or
// code points above U+10FFFF. Runs of ASCII go a word at a time.
bool validUtf8(std::string_view text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *const end = p + text.size();
    while (p < end) {
        std::uint64_t word;
        while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0))
            p += 8;
        if (p == end)
            break;
        const unsigned lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        std::ptrdiff_t length;
        unsigned low = 0x80, high = 0xBF; // of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high)
            return false;
        for (std::ptrdiff_t i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF)
                return false;
        }
        p += length;
    }
    return true;
}

// Code page 1252 from 0x80 to 0x9F. The five bytes it leaves undefined stand
// for the control characters of the same number, as Windows reads them, so
// they too come back as the bytes they were.
constexpr char16_t kCp1252From80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of a code point in code page 1252, or -1 when it has none.
int cp1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252From80[i] == c)
            return 0x80 + i;
    }
    return -1;
}

// Appends UTF-8 text as code page 1252; false at a character it cannot hold
// (or at bytes that are no UTF-8).
bool appendCp1252(std::string_view utf8, std::string &out)
{
    if (!validUtf8(utf8))
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *const end = p + utf8.size();
    while (p < end) {
        char32_t c = *p;
        int length = 1;
        if (c >= 0xF0) {
            c &= 0x07;
            length = 4;
        } else if (c >= 0xE0) {
            c &= 0x0F;
            length = 3;
        } else if (c >= 0xC0) {
            c &= 0x1F;
            length = 2;
        }
        for (int i = 1; i < length; ++i)
            c = (c << 6) | (p[i] & 0x3F);
        p += length;
        const int byte = cp1252Byte(c);
        if (byte < 0)
            return false;
        out.push_back(char(byte));
    }
    return true;
}

// Lower-cased copy of an argument, on the stack for the usual short names.
class LowerArg
{
public:
    explicit LowerArg(std::string_view text)
    {
        char *out = m_small;
        if (text.size() > sizeof m_small) {
            m_big.resize(text.size());
            out = m_big.data();
        }
        for (std::size_t i = 0; i < text.size(); ++i)
            out[i] = lowerAscii(text[i]);
        m_view = std::string_view(out, text.size());
    }
    LowerArg(const LowerArg &) = delete;
    LowerArg &operator=(const LowerArg &) = delete;

    std::string_view view() const { return m_view; }

private:
    char m_small[64];
    std::string m_big;
    std::string_view m_view;
};

} // namespace

IniDocument::Arena::Arena(Arena &&other) noexcept
    : m_chunks(std::move(other.m_chunks))
    , m_next(other.m_next)
    , m_left(other.m_left)
{
    other.m_next = nullptr;
    other.m_left = 0;
}

IniDocument::Arena &IniDocument::Arena::operator=(Arena &&other) noexcept
{
    if (this != &other) {
        m_chunks = std::move(other.m_chunks);
        m_next = other.m_next;
        m_left = other.m_left;
        other.m_next = nullptr;
        other.m_left = 0;
    }
    return *this;
}

char *IniDocument::Arena::allocate(std::size_t size)
{
    if (size > kArenaChunk / 4) {
        // A long line gets a block of its own so the current chunk's rest is not wasted.
        m_chunks.emplace_back(new char[size]);
        return m_chunks.back().get();
    }
    if (size > m_left) {
        m_chunks.emplace_back(new char[kArenaChunk]);
        m_next = m_chunks.back().get();
        m_left = kArenaChunk;
    }
    char *result = m_next;
    m_next += size;
    m_left -= size;
    return result;
}

std::string_view IniDocument::concat(std::initializer_list<std::string_view> parts)
{
    std::size_t total = 0;
    for (std::string_view part : parts)
        total += part.size();
    char *out = m_arena.allocate(total);
    char *p = out;
    for (std::string_view part : parts) {
        if (!part.empty())
            std::memcpy(p, part.data(), part.size());
        p += part.size();
    }
    return std::string_view(out, total);
}

std::string_view IniDocument::lowered(std::string_view text)
{
    if (!hasUpper(text))
        return text;
    char *out = m_arena.allocate(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = lowerAscii(text[i]);
    return std::string_view(out, text.size());
}

IniDocument::Line IniDocument::makeLine(std::string_view raw, std::uint8_t breakLen)
{
    Line line;
    line.raw = raw;
    line.breakLen = breakLen;
    const std::string_view text = trimmed(raw.substr(0, raw.size() - breakLen));
    if (text.empty()) {
        line.kind = Kind::Blank;
    } else if (text.front() == '[') {
        line.kind = Kind::Header;
        const std::string_view inside = text.substr(1);
        line.lower = lowered(trimmed(inside.substr(0, inside.find(']'))));
    } else if (text.front() == ';') {
        line.kind = Kind::Comment;
    } else if (const std::size_t eq = text.find('='); eq == std::string_view::npos) {
        line.kind = Kind::Text;
    } else {
        line.kind = Kind::Entry;
        line.key = trimmed(text.substr(0, eq));
        line.lower = lowered(line.key);
        line.value = trimmed(text.substr(eq + 1));
    }
    return line;
}

bool IniDocument::isAnsi() const
{
    if (m_invalidLines < 0) {
        std::int64_t invalid = 0;
        const auto count = [&invalid](const Line &line) {
            invalid += !validUtf8(line.raw);
        };
        for (const Line &line : m_preamble)
            count(line);
        for (const Section &section : m_sections) {
            count(section.header);
            for (const Line &line : section.body)
                count(line);
        }
        m_invalidLines = invalid;
    }
    return m_invalidLines > 0;
}

void IniDocument::countLineNow(std::string_view raw, int change)
{
    // A UTF-8 sequence never spans a line break, so the file is valid UTF-8
    // exactly when each of its lines is.
    if (!validUtf8(raw))
        m_invalidLines += change;
}

bool IniDocument::toFileBytes(Args args, std::string &storage,
                              std::initializer_list<std::string_view *> texts) const
{
    if (args == Args::Ascii)
        return true;
    std::size_t total = 0;
    bool ascii = true;
    for (const std::string_view *text : texts) {
        total += text->size();
        ascii = ascii && isAscii(*text);
    }
    if (ascii || !isAnsi())
        return true;
    // Never longer than the UTF-8: the views into storage stay valid.
    storage.clear();
    storage.reserve(total);
    for (std::string_view *text : texts) {
        const std::size_t at = storage.size();
        if (!appendCp1252(*text, storage))
            return false;
        *text = std::string_view(storage.data() + at, storage.size() - at);
    }
    return true;
}

namespace {

// A text's bytes up to the first NUL, in its file's encoding; whether the
// file is ANSI is asked only for a text that is not ASCII.
template<typename AnsiFile> QString decoded(std::string_view bytes, AnsiFile ansiFile)
{
    unsigned char bits = 0;
    std::size_t size = 0;
    while (size < bytes.size() && bytes[size] != '\0')
        bits |= static_cast<unsigned char>(bytes[size++]);
    if (bits < 0x80)
        return QString::fromLatin1(bytes.data(), qsizetype(size));
    if (!ansiFile())
        return QString::fromUtf8(bytes.data(), qsizetype(size));
    QString out(qsizetype(size), Qt::Uninitialized);
    QChar *p = out.data();
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        p[i] = (c & 0xE0) == 0x80 ? QChar(kCp1252From80[c - 0x80]) : QChar(c);
    }
    return out;
}

} // namespace

QString IniDocument::text(std::string_view bytes) const
{
    return decoded(bytes, [this] { return isAnsi(); });
}

QString IniDocument::textOf(std::string_view bytes, bool ansiFile)
{
    return decoded(bytes, [ansiFile] { return ansiFile; });
}

bool IniDocument::isUtf8(std::string_view bytes)
{
    return validUtf8(bytes);
}

IniDocument IniDocument::parse(const QByteArray &bytes, bool exists)
{
    IniDocument doc;
    doc.m_source = bytes;
    doc.m_exists = exists;
    const char *data = doc.m_source.constData();
    const std::size_t size = std::size_t(doc.m_source.size());
    Section *section = nullptr; // none before the first header
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        std::uint8_t breakLen = 0;
        if (end < size)
            breakLen = (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
        const Line line =
            doc.makeLine(std::string_view(data + pos, end - pos + breakLen), breakLen);
        if (line.kind == Kind::Header) {
            doc.m_sections.push_back(Section{line, {}, 0, {}});
            doc.m_sectionIndex.try_emplace(line.lower, std::uint32_t(doc.m_sections.size() - 1));
            section = &doc.m_sections.back();
        } else if (section) {
            section->body.push_back(line);
            if (line.kind == Kind::Entry)
                section->keyBits |= keyBit(line.lower);
        } else {
            doc.m_preamble.push_back(line);
        }
        pos = end + breakLen;
    }
    return doc;
}

QByteArray IniDocument::serialize() const
{
    std::size_t total = 0;
    for (const Line &line : m_preamble)
        total += line.raw.size();
    for (const Section &section : m_sections) {
        total += section.header.raw.size();
        for (const Line &line : section.body)
            total += line.raw.size();
    }
    QByteArray out(qsizetype(total), Qt::Uninitialized);
    char *p = out.data();
    auto put = [&p](const Line &line) {
        if (!line.raw.empty())
            std::memcpy(p, line.raw.data(), line.raw.size());
        p += line.raw.size();
    };
    for (const Line &line : m_preamble)
        put(line);
    for (const Section &section : m_sections) {
        put(section.header);
        for (const Line &line : section.body)
            put(line);
    }
    return out;
}

const IniDocument::Section *IniDocument::findSection(std::string_view name) const
{
    // Saves and loads go section by section: most calls ask for the last one
    // again, usually spelled the same way.
    if (m_lastSection < m_sections.size() &&
        (name == m_lastSectionName || matches(m_sections[m_lastSection].header.lower, name)))
        return &m_sections[m_lastSection];
    const auto it = m_sectionIndex.find(LowerArg(name).view());
    if (it == m_sectionIndex.end())
        return nullptr;
    m_lastSection = it->second;
    m_lastSectionName.assign(name);
    return &m_sections[it->second];
}

IniDocument::Section *IniDocument::findSection(std::string_view name)
{
    if (m_lastSection < m_sections.size() && name == m_lastSectionName)
        return &m_sections[m_lastSection];
    return const_cast<Section *>(std::as_const(*this).findSection(name));
}

int IniDocument::findKey(const Section &section, std::string_view key) const
{
    const std::vector<Line> &body = section.body;
    if (body.size() < kKeyIndexFrom) {
        if (!(section.keyBits & keyBit(key)))
            return -1;
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (body[i].kind == Kind::Entry && matches(body[i].lower, key))
                return int(i);
        }
        return -1;
    }
    if (!section.keyIndex) {
        section.keyIndex = std::make_unique<std::unordered_map<std::string_view, std::uint32_t>>();
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (body[i].kind == Kind::Entry)
                section.keyIndex->try_emplace(body[i].lower, std::uint32_t(i));
        }
    }
    const auto it = section.keyIndex->find(LowerArg(key).view());
    return it == section.keyIndex->end() ? -1 : int(it->second);
}

std::optional<std::string_view> IniDocument::value(std::string_view section, std::string_view key,
                                                   Args args) const
{
    std::string storage;
    if (!toFileBytes(args, storage, {&section, &key}))
        return std::nullopt; // no name in the file can hold it
    const Section *found = findSection(section);
    if (!found)
        return std::nullopt;
    const int index = findKey(*found, key);
    if (index < 0)
        return std::nullopt;
    return found->body[std::size_t(index)].value;
}

IniDocument::Line *IniDocument::lastLine()
{
    if (!m_sections.empty()) {
        Section &last = m_sections.back();
        return last.body.empty() ? &last.header : &last.body.back();
    }
    return m_preamble.empty() ? nullptr : &m_preamble.back();
}

void IniDocument::ensureLineBreak(Line &line)
{
    // Only the file's last line can lack a break; anything written after it
    // needs one. A line break changes nothing about the line's UTF-8.
    if (line.breakLen == 0)
        line = makeLine(concat({line.raw, "\r\n"}), 2);
}

void IniDocument::rebuildSectionIndex()
{
    m_lastSection = kNoSection;
    m_lastSectionName.clear();
    m_sectionIndex.clear();
    for (std::size_t i = 0; i < m_sections.size(); ++i)
        m_sectionIndex.try_emplace(m_sections[i].header.lower, std::uint32_t(i));
}

void IniDocument::markModified()
{
    m_modified = true;
    m_exists = true;
}

void IniDocument::setEntryLine(Line &line, std::string_view key, std::string_view value,
                               bool &reparseNeeded)
{
    countLine(line.raw, -1);
    const std::size_t size = key.size() + value.size() + 3;
    // The lower-cased key goes right behind the line, in the same block. Plain
    // loops copy and check at once: the texts are short, calls cost more.
    char *out = m_arena.allocate(size + key.size());
    char *lower = out + size;
    bool unusual = key.empty() || isBlank(key.front()) || isBlank(key.back()) ||
                   key.front() == '[' || key.front() == ';';
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        unusual |= (c == '=') | (c == '\r') | (c == '\n');
        out[i] = c;
        lower[i] = lowerAscii(c);
    }
    out[key.size()] = '=';
    char *valueOut = out + key.size() + 1;
    bool lineBreak = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        lineBreak |= (c == '\r') | (c == '\n');
        valueOut[i] = c;
    }
    out[size - 2] = '\r';
    out[size - 1] = '\n';
    const std::string_view raw(out, size);
    countLine(raw, +1);
    if (unusual || lineBreak) {
        // Stored as it parses; a break inside the text or a key that makes the
        // line a header changes the structure, and only a new parse tells how.
        line = makeLine(raw, 2);
        if (hasLineBreak(raw.substr(0, size - 2)) || line.kind == Kind::Header)
            reparseNeeded = true;
        return;
    }
    // Filled in place: building a Line elsewhere and copying it costs more than the rest.
    line.raw = raw;
    line.breakLen = 2;
    line.kind = Kind::Entry;
    line.key = raw.substr(0, key.size());
    line.lower = std::string_view(lower, key.size());
    line.value = raw.substr(key.size() + 1, value.size());
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back())))
        line.value = trimmed(line.value);
}

void IniDocument::reparse()
{
    const bool modified = m_modified;
    *this = parse(serialize(), m_exists);
    m_modified = modified;
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value,
                           Args args)
{
    std::string storage;
    if (!toFileBytes(args, storage, {&section, &key, &value}))
        return false;
    bool reparseNeeded = false;
    Section *target = findSection(section);
    if (!target) {
        if (Line *last = lastLine())
            ensureLineBreak(*last);
        const Line header = makeLine(concat({"[", section, "]\r\n"}), 2);
        countLine(header.raw, +1);
        reparseNeeded = hasLineBreak(section);
        std::vector<Line> body;
        // A new section usually gets a run of keys next (a module has about
        // twenty); skip the regrowths.
        body.reserve(32);
        setEntryLine(body.emplace_back(), key, value, reparseNeeded);
        const std::uint64_t bits = body.back().kind == Kind::Entry ? keyBit(body.back().lower) : 0;
        m_sections.push_back(Section{header, std::move(body), bits, {}});
        const auto index = std::uint32_t(m_sections.size() - 1);
        if (m_sectionIndex.try_emplace(header.lower, index).second && !reparseNeeded &&
            matches(header.lower, section)) {
            // The keys that follow go to this section (unless its name would
            // not find it again, as with blanks the header loses).
            m_lastSection = index;
            m_lastSectionName.assign(section);
        }
    } else if (const int index = findKey(*target, key); index >= 0) {
        Line &old = target->body[std::size_t(index)];
        const std::string_view raw = old.raw;
        const std::size_t k = old.key.size();
        if (raw.size() == k + value.size() + 3 && raw.substr(0, k) == old.key && raw[k] == '=' &&
            raw.substr(k + 1, value.size()) == value && raw.ends_with("\r\n"))
            return true; // the same bytes again
        setEntryLine(old, old.key, value, reparseNeeded);
    } else {
        std::size_t pos = target->body.size();
        while (pos > 0 && target->body[pos - 1].kind != Kind::Entry &&
               target->body[pos - 1].kind != Kind::Text)
            --pos;
        ensureLineBreak(pos == 0 ? target->header : target->body[pos - 1]);
        Line &entry = *target->body.emplace(target->body.begin() + std::ptrdiff_t(pos));
        setEntryLine(entry, key, value, reparseNeeded);
        if (entry.kind == Kind::Entry) {
            target->keyBits |= keyBit(entry.lower);
            // Every entry line lies before pos, so no indexed position moved.
            if (target->keyIndex)
                target->keyIndex->try_emplace(entry.lower, std::uint32_t(pos));
        }
    }
    markModified();
    if (reparseNeeded)
        reparse();
    return true;
}

void IniDocument::removeKey(std::string_view section, std::string_view key, Args args)
{
    if (!m_exists)
        markModified();
    std::string storage;
    if (!toFileBytes(args, storage, {&section, &key}))
        return; // not in the file
    Section *target = findSection(section);
    if (!target)
        return;
    const int index = findKey(*target, key);
    if (index < 0)
        return;
    countLine(target->body[std::size_t(index)].raw, -1);
    target->body.erase(target->body.begin() + index);
    target->keyIndex.reset();
    markModified();
}

void IniDocument::removeSection(std::string_view section, Args args)
{
    if (!m_exists)
        markModified();
    std::string storage;
    if (!toFileBytes(args, storage, {&section}))
        return; // not in the file
    const auto it = m_sectionIndex.find(LowerArg(section).view());
    if (it == m_sectionIndex.end())
        return;
    const std::size_t index = it->second;
    // Comment and blank lines are no part of the section's data and stay; they
    // now follow whatever came before the header.
    std::vector<Line> &before = index == 0 ? m_preamble : m_sections[index - 1].body;
    countLine(m_sections[index].header.raw, -1);
    for (const Line &line : m_sections[index].body) {
        if (line.kind == Kind::Comment || line.kind == Kind::Blank)
            before.push_back(line);
        else
            countLine(line.raw, -1);
    }
    m_sections.erase(m_sections.begin() + std::ptrdiff_t(index));
    rebuildSectionIndex();
    markModified();
}
