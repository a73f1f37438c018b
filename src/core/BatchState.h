#pragma once

#include "core/ByteLog.h"
#include "core/IniDocument.h"
#include "core/LogDraft.h"
#include "core/OpKind.h"
#include "core/SectionArg.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <tuple>
#include <vector>

namespace IniEngine {

// What a live batch holds for its file: the bytes it started from, the parsed
// copy its reads and writes work on, and the log of every write, so the file
// is written once when the batch ends, and the writes can be applied again to
// a file that another program changed meanwhile. write() runs for each of a
// save's thousands of calls, inline.
struct BatchState
{
    struct Op
    {
        std::size_t sectionOffset, keyOffset, valueOffset;
        std::uint32_t sectionSize, keySize, valueSize;
        OpKind kind;
        bool plainTexts; // key and value looked at and found plain while recorded
        bool ascii;      // every text ASCII: the same bytes in either encoding
    };

    // A text of gigabytes is no setting: larger ones are refused.
    static constexpr std::size_t MaxTextBytes = 1u << 30;

    QString path;
    IniDocument doc;
    QByteArray baseBytes;
    bool baseExists = false;
    bool loadFailed = false;
    QString loadError; // why the file could not be read
    // Writes to a missing or empty file only go to the log, and the file is
    // built from it in one pass at the end; a read, or a text the builder
    // cannot take, applies them to the parsed copy instead.
    bool deferred = false;
    // Every write, kept so it can be applied again to a file that another
    // program changed while the batch ran. A run of writes to one section
    // keeps its name once.
    ByteLog opText;
    std::vector<Op> ops;
    std::uint64_t sectionGeneration = 0; // of the section text the last op recorded
    LogDraft draft;                      // the file while the log still lays it out
    // Why the commit must fail though the file may be fine: a write that the
    // file's Windows-1252 text cannot hold. Empty while none did.
    QString refusal;
    // The file parsed before, shared while the batch only reads it: checking
    // a few ratings at each save would otherwise parse their file each time.
    // The batch parses a copy of its own at its first write.
    std::shared_ptr<const IniDocument> sharedDoc;

    const IniDocument &readDoc() const { return sharedDoc ? *sharedDoc : doc; }
    IniDocument &writeDoc()
    {
        if (sharedDoc)
            parseOwnCopy();
        return doc;
    }
    // The batch's first write to a file it shared: from now on it has a copy
    // of its own.
    void parseOwnCopy();

    std::string_view sectionOf(const Op &op) const
    {
        return opText.view(op.sectionOffset, op.sectionSize);
    }
    std::string_view keyOf(const Op &op) const { return opText.view(op.keyOffset, op.keySize); }
    std::string_view valueOf(const Op &op) const
    {
        return opText.view(op.valueOffset, op.valueSize);
    }

    // key and value null: delete the section; value null: delete the key.
    // Forced inline into its one caller, the settings write: a call of its own
    // and of the draft's set() cost a save of many units about 4%.
    Q_ALWAYS_INLINE bool write(SectionArg &sections, const QString &section, const QString *key,
                               const QString *value)
    {
        Op op{};
        op.kind = !key ? OpKind::RemoveSection : !value ? OpKind::RemoveKey : OpKind::Set;
        const std::string_view sectionBytes = sections.bytes(section);
        const bool drafting = deferred && draft.ok();
        if (!ops.empty() && sections.generation() == sectionGeneration) {
            op.sectionOffset = ops.back().sectionOffset;
        } else if (drafting) {
            opText.append("[");
            op.sectionOffset = opText.append(sectionBytes);
            opText.append("]\r\n");
            draft.enterSection(opText, op.sectionOffset, sectionBytes.size());
            sectionGeneration = sections.generation();
        } else {
            op.sectionOffset = opText.append(sectionBytes);
            sectionGeneration = sections.generation();
        }
        std::size_t keySize = 0, valueSize = 0;
        bool plainKey = false, plainValue = false, asciiKey = true, asciiValue = true;
        const std::size_t keyStart = opText.size();
        op.keyOffset = op.valueOffset = keyStart;
        if (key)
            std::tie(op.keyOffset, keySize) = opText.appendText(*key, true, &plainKey, &asciiKey);
        // A key that lost spaces at an end is not the line's text as it stands.
        const bool wholeKey = op.keyOffset == keyStart && keySize == opText.size() - keyStart;
        if (value) {
            if (drafting)
                opText.append("=");
            std::tie(op.valueOffset, valueSize) =
                opText.appendText(*value, false, &plainValue, &asciiValue);
            if (drafting)
                opText.append("\r\n");
        }
        op.plainTexts = plainKey && plainValue;
        op.ascii = sections.ascii() && asciiKey && asciiValue;
        // Refusing a text of gigabytes keeps the recorded sizes in range.
        if (keySize > MaxTextBytes || valueSize > MaxTextBytes)
            return false;
        op.sectionSize = std::uint32_t(sectionBytes.size());
        op.keySize = std::uint32_t(keySize);
        op.valueSize = std::uint32_t(valueSize);
        if (!deferred) {
            if (!apply(writeDoc(), op))
                refuse(op);
        } else if (drafting) {
            const std::string_view keyText = keyOf(op);
            if (value)
                draft.set(opText, keyText, keyStart, opText.size() - keyStart,
                          op.plainTexts && wholeKey);
            else
                draft.remove(opText, key ? &keyText : nullptr, plainKey && wholeKey);
        }
        ops.push_back(op);
        return true;
    }

    bool apply(IniDocument &target, const Op &op) const
    {
        return applyOp(target, op.kind, sectionOf(op), keyOf(op), valueOf(op), op.ascii);
    }

    void refuse(const Op &op)
    {
        if (refusal.isEmpty())
            refusal = ansiRefusal(sectionOf(op), keyOf(op));
    }

    // The first write the target's Windows-1252 text refused, or null.
    const Op *replay(IniDocument &target) const;

    // From now on every write goes to the parsed copy.
    void applyDeferred()
    {
        if (!deferred)
            return;
        if (const Op *refused = replay(writeDoc()))
            refuse(*refused);
        deferred = false;
    }

    // The file the deferred writes make from the base.
    QByteArray deferredBytes() const;

    // *error says why the file could not be written.
    bool commit(QString &error) const;
};

} // namespace IniEngine
