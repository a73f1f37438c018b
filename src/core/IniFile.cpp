#include "core/IniFile.h"

#include "core/BatchState.h"
#include "core/FileBytes.h"
#include "core/FileLock.h"
#include "core/IniDocument.h"
#include "core/OpKind.h"
#include "core/Registry.h"
#include "core/Utf8Arg.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

// The public routines. The pieces of the engine behind them (a batch's log
// and state, the registry of batches and parsed files, file access and
// locking) live in namespace IniEngine, a file pair each.

namespace IniEngine {
namespace {

bool writeNow(const QString &path, OpKind kind, std::string_view section, std::string_view key,
              std::string_view value, bool ascii)
{
    FileLock lock(path);
    if (!lock.acquire())
        return false;
    const FileBytes file = readFileBytes(path);
    if (!file.ok)
        return false;
    IniDocument doc = IniDocument::parse(file.bytes, file.exists);
    return applyOp(doc, kind, section, key, value, ascii) &&
           (!doc.isModified() || saveFile(path, doc.serialize()));
}

// key and value null: delete the section; value null: delete the key.
bool write(const QString &path, const QString &section, const QString *key, const QString *value)
{
    if (path.isEmpty())
        return false;
    Registry &reg = registry();
    const std::lock_guard guard(reg.mutex);
    if (BatchState *batch = reg.findBatch(path)) {
        // A batch whose file could not be read writes nothing, and its
        // commit says so once: its writes do not each fail.
        return batch->loadFailed || batch->write(reg.section, section, key, value);
    }

    const OpKind kind = !key ? OpKind::RemoveSection : !value ? OpKind::RemoveKey : OpKind::Set;
    static const QString none;
    const Utf8Arg keyArg(key ? *key : none, Utf8Arg::Strip::Spaces);
    const Utf8Arg valueArg(value ? *value : none, Utf8Arg::Strip::None);
    const std::string_view sectionBytes = reg.section.bytes(section);
    return writeNow(path, kind, sectionBytes, keyArg.view(), valueArg.view(),
                    reg.section.ascii() && keyArg.ascii() && valueArg.ascii());
}

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace
} // namespace IniEngine

QString IniFile::readString(const QString &path, const QString &section, const QString &key,
                            const QString &defaultValue, int bufferSize)
{
    const IniEngine::Utf8Arg keyArg(key, IniEngine::Utf8Arg::Strip::Spaces);
    QString result;
    bool found = false;
    {
        IniEngine::Registry &reg = IniEngine::registry();
        const std::lock_guard guard(reg.mutex);
        const std::string_view sectionBytes = reg.section.bytes(section);
        const auto args = reg.section.ascii() && keyArg.ascii() ? IniDocument::Args::Ascii
                                                                : IniDocument::Args::Utf8;
        const IniDocument *doc = nullptr;
        std::shared_ptr<const IniDocument> fromDisk;
        if (IniEngine::BatchState *batch = reg.findBatch(path)) {
            if (!batch->loadFailed) {
                batch->applyDeferred();
                doc = &batch->readDoc();
            }
        } else if (!path.isEmpty()) {
            fromDisk = reg.parsedFile(path);
            doc = fromDisk.get();
        }
        if (const auto value = doc ? doc->value(sectionBytes, keyArg.view(), args) : std::nullopt) {
            result = doc->text(IniEngine::unquoted(*value));
            found = true;
        }
    }
    if (!found) {
        result = defaultValue;
        qsizetype end = result.size();
        while (end > 0 && result.at(end - 1) == QLatin1Char(' '))
            --end;
        result.truncate(end);
    }
    if (bufferSize <= 1)
        return QString();
    if (result.size() > bufferSize - 1) {
        qsizetype end = bufferSize - 1;
        // Never hand back half of a surrogate pair.
        if (result.at(end - 1).isHighSurrogate())
            --end;
        result.truncate(end);
    }
    return result;
}

bool IniFile::writeString(const QString &path, const QString &section,
                          const std::optional<QString> &key, const std::optional<QString> &value)
{
    return IniEngine::write(path, section, key ? &*key : nullptr, key && value ? &*value : nullptr);
}

bool IniFile::writeValue(const QString &path, const QString &section, const QString &key,
                         const QString &value)
{
    return IniEngine::write(path, section, &key, &value);
}

bool IniFile::deleteKey(const QString &path, const QString &section, const QString &key)
{
    return IniEngine::write(path, section, &key, nullptr);
}

IniBatch::IniBatch(const QString &path)
    : m_path(IniEngine::canonicalPath(path))
{
    if (m_path.isEmpty())
        return;
    IniEngine::Registry &reg = IniEngine::registry();
    const std::lock_guard guard(reg.mutex);
    if (reg.batches.contains(m_path))
        return; // joins the live batch of this file
    auto state = std::make_shared<IniEngine::BatchState>();
    state->path = m_path;
    state->ops = std::move(reg.spareOps);
    state->ops.clear();
    state->opText = std::move(reg.spareLog);
    state->opText.clear();
    const IniEngine::FileBytes file = IniEngine::readFileBytes(m_path);
    state->loadFailed = !file.ok;
    state->loadError = file.error;
    state->baseBytes = file.bytes;
    state->baseExists = file.exists;
    state->deferred = file.ok && file.bytes.isEmpty();
    if (!state->deferred && file.ok)
        state->sharedDoc = reg.cachedDocument(m_path, file.bytes);
    if (!state->sharedDoc)
        state->doc = IniDocument::parse(file.bytes, file.exists);
    reg.batches.insert(m_path, state);
    reg.forgetLastPath();
    m_owner = true;
}

IniBatch::~IniBatch()
{
    if (!m_committed)
        (void)commit();
}

bool IniBatch::commit()
{
    if (m_committed)
        return m_result;
    m_committed = true;
    if (m_path.isEmpty())
        return m_result;
    IniEngine::Registry &reg = IniEngine::registry();
    const std::lock_guard guard(reg.mutex);
    const auto it = reg.batches.find(m_path);
    if (it == reg.batches.end())
        return m_result;
    if (!m_owner) {
        // The outer batch writes the file and reports its result.
        m_result = !(*it)->loadFailed;
        m_error = (*it)->loadError;
        return m_result;
    }
    const std::shared_ptr<IniEngine::BatchState> state = *it;
    reg.batches.erase(it);
    reg.forgetLastPath();
    m_result = state->commit(m_error);
    // A batch that only read its file leaves its parsed copy for the next.
    if (state->ops.empty() && !state->loadFailed && !state->deferred && !state->sharedDoc)
        reg.remember(m_path, state->baseBytes,
                     std::make_shared<const IniDocument>(std::move(state->doc)));
    if (state.use_count() == 1 && state->opText.capacity() <= IniEngine::Registry::SpareLogBytes &&
        state->ops.capacity() <= IniEngine::Registry::SpareOps) {
        reg.spareOps = std::move(state->ops);
        reg.spareLog = std::move(state->opText);
    }
    return m_result;
}
