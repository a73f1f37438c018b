#include "core/BatchState.h"

#include "core/FileBytes.h"
#include "core/FileLock.h"
#include "core/FreshIniBuilder.h"

#include <algorithm>

namespace IniEngine {

void BatchState::parseOwnCopy()
{
    doc = IniDocument::parse(baseBytes, baseExists);
    sharedDoc.reset();
}

const BatchState::Op *BatchState::replay(IniDocument &target) const
{
    const Op *refused = nullptr;
    for (const Op &op : ops) {
        if (!apply(target, op) && !refused)
            refused = &op;
    }
    return refused;
}

QByteArray BatchState::deferredBytes() const
{
    if (draft.ok())
        return draft.bytes(opText);
    FreshIniBuilder builder;
    bool built = true;
    for (std::size_t i = 0; built && i < ops.size(); ++i) {
        const Op &op = ops[i];
        switch (op.kind) {
        case OpKind::Set:
            built = builder.setValue(sectionOf(op), keyOf(op), valueOf(op),
                                     op.plainTexts ? FreshIniBuilder::Texts::Plain
                                                   : FreshIniBuilder::Texts::Unchecked);
            break;
        case OpKind::RemoveKey:
            built = builder.removeKey(sectionOf(op), keyOf(op));
            break;
        case OpKind::RemoveSection:
            built = builder.removeSection(sectionOf(op));
            break;
        }
    }
    if (built)
        return builder.bytes();
    // An empty file is UTF-8, and UTF-8 holds every text.
    IniDocument written = IniDocument::parse(baseBytes, baseExists);
    (void)replay(written);
    return written.serialize();
}

bool BatchState::commit(QString &error) const
{
    if (loadFailed) {
        error = loadError;
        return false;
    }
    if (!refusal.isEmpty()) {
        error = refusal;
        return false;
    }
    // As with a parsed copy: on an existing (empty) file only a write of a
    // key changes anything; deletes alone leave it, and a file another
    // program saved meanwhile, as they were.
    if (deferred) {
        if (ops.empty())
            return true;
        const bool setsAKey = std::any_of(ops.begin(), ops.end(),
                                          [](const Op &op) { return op.kind == OpKind::Set; });
        if (baseExists && !setsAKey)
            return true;
    } else if (!readDoc().isModified()) {
        return true;
    }
    FileLock lock(path);
    if (!lock.acquire()) {
        error = lock.errorString();
        return false;
    }
    const FileBytes now = readFileBytes(path);
    if (!now.ok) {
        error = now.error;
        return false;
    }
    if (now.exists == baseExists && now.bytes == baseBytes) {
        const QByteArray out = deferred ? deferredBytes() : readDoc().serialize();
        return (baseExists && out == baseBytes) || saveFile(path, out, &error);
    }
    IniDocument fresh = IniDocument::parse(now.bytes, now.exists);
    if (const Op *refused = replay(fresh)) {
        error = ansiRefusal(sectionOf(*refused), keyOf(*refused));
        return false;
    }
    return !fresh.isModified() || saveFile(path, fresh.serialize(), &error);
}

} // namespace IniEngine
