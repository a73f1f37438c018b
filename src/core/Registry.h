#pragma once

#include "core/BatchState.h"
#include "core/ByteLog.h"
#include "core/IniDocument.h"
#include "core/SectionArg.h"
#include "core/SpinLock.h"

#include <QByteArray>
#include <QDir>
#include <QHash>
#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

namespace IniEngine {

// A path made absolute and clean, as batches are kept by it; empty for an
// empty path.
QString canonicalPath(const QString &path);

// What the settings calls share between them: the live batches by file, the
// parsed copies kept for fresh reads, the section text asked for last and the
// log of the last batch, kept for the next.
struct Registry
{
    struct CachedFile
    {
        QByteArray bytes;
        std::shared_ptr<const IniDocument> doc;
    };

    // Largest batch log kept for the next batch.
    static constexpr std::size_t SpareLogBytes = 4u << 20;
    static constexpr std::size_t SpareOps = 64u << 10;

    // One GUI thread uses this; the mutex only keeps a misplaced call from
    // another thread from corrupting it.
    SpinLock mutex;
    QHash<QString, std::shared_ptr<BatchState>> batches; // by canonical path
    // The last path asked for, as given, and its batch (or none), so the calls
    // of a batch skip making the path canonical.
    QString lastPath;
    BatchState *lastBatch = nullptr;
    QHash<QString, CachedFile> cache; // by path as given
    SectionArg section;
    // The log of the last batch, kept for the next: a save's log grows to a few
    // hundred kilobytes, and growing it again each time copies it over and over.
    std::vector<BatchState::Op> spareOps;
    ByteLog spareLog;

    void forgetLastPath()
    {
        lastPath.clear();
        lastBatch = nullptr;
    }

    BatchState *findBatch(const QString &path)
    {
        if (batches.isEmpty() || path.isEmpty())
            return nullptr;
        // The same QString object is the usual case and needs no comparison.
        if (!lastPath.isEmpty() &&
            ((path.constData() == lastPath.constData() && path.size() == lastPath.size()) ||
             path == lastPath))
            return lastBatch;
        const auto it = batches.constFind(canonicalPath(path));
        BatchState *batch = it == batches.constEnd() ? nullptr : it->get();
        // A relative path may mean another file once the working folder changes.
        if (QDir::isAbsolutePath(path)) {
            lastPath = path;
            lastBatch = batch;
        }
        return batch;
    }

    // The parsed copy kept for path, if it was parsed from these bytes: only
    // identical bytes prove the copy current, size and time can stay the same.
    std::shared_ptr<const IniDocument> cachedDocument(const QString &path,
                                                      const QByteArray &bytes) const
    {
        const auto it = cache.constFind(path);
        return it != cache.constEnd() && it->bytes == bytes ? it->doc : nullptr;
    }

    void remember(const QString &path, const QByteArray &bytes,
                  std::shared_ptr<const IniDocument> doc);

    // The file as it is on disk now, parsed, or null when it is missing or
    // cannot be read.
    std::shared_ptr<const IniDocument> parsedFile(const QString &path);
};

// The one registry; never destroyed, so a batch that outlives main() still
// finds it.
Registry &registry();

} // namespace IniEngine
