#pragma once

#include <QString>
#include <functional>

class ZelkData;

// The unit configuration file: a settings file with one section per unit
// ("PS<u>") and one per present module ("PS<u>MODULE<m>").
namespace ZelkConfigFile {

QString BoolToStr(bool flag);

// Writes one unit's sections to ConfigFileToWrite. Keys already there are
// overwritten in place; nothing else in the file changes.
void WriteZelkFile(const ZelkData &data, const QString &unit);

// Reads one unit's sections from ConfigFileToRead into the record. A GroupId
// that is neither "N/A" nor a 16-bit whole number rejects the file: false,
// with errorText set, and the record unchanged.
[[nodiscard]] bool ReadZelkFile(ZelkData &data, const QString &unit, QString *errorText = nullptr);

// Saves units 1..32 (records from unitRecord, null where none) to
// ConfigFileToWrite in one write of the file; a failure is shown once, with
// the reason.
// progress(unit) is called before each unit. True when the file was written.
bool WriteAllUnits(const std::function<const ZelkData *(int unit)> &unitRecord,
                   const std::function<void(int unit)> &progress = {});

} // namespace ZelkConfigFile
