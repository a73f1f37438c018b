#include "core/Registry.h"

#include "core/FileBytes.h"

#include <utility>

namespace IniEngine {
namespace {

// Parsed copies kept for fresh reads; each is checked against the bytes on disk.
constexpr qsizetype MaxCachedFiles = 16;

} // namespace

QString canonicalPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path
                                                      : QDir::current().absoluteFilePath(path));
}

void Registry::remember(const QString &path, const QByteArray &bytes,
                        std::shared_ptr<const IniDocument> doc)
{
    if (cache.size() >= MaxCachedFiles && !cache.contains(path))
        cache.clear();
    cache.insert(path, CachedFile{bytes, std::move(doc)});
}

std::shared_ptr<const IniDocument> Registry::parsedFile(const QString &path)
{
    const FileBytes file = readFileBytes(path);
    if (!file.ok || !file.exists)
        return nullptr;
    if (auto doc = cachedDocument(path, file.bytes))
        return doc;
    auto doc = std::make_shared<const IniDocument>(IniDocument::parse(file.bytes));
    remember(path, file.bytes, doc);
    return doc;
}

Registry &registry()
{
    static auto *instance = new Registry;
    return *instance;
}

} // namespace IniEngine
