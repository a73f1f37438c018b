#include "core/Ini.h"

#include "core/Dialogs.h"
#include "core/IniFile.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"

QString ReadIni(const QString &section, const QString &key, const QString &path)
{
    QString result = IniFile::readString(path, section, key, QString(), Ini::ReadBufferSize);
    if (result.isEmpty())
        return Ini::NotAvailable;
    // Every value, numbers or not, so that numeric texts convert in the locale.
    const QString &sep = ZelkGlobals::DecimalSeparator;
    if (sep != QLatin1String(".") && result.contains('.'))
        result.replace('.', sep);
    return result;
}

void showIniWriteFailure(const QString &path, const QString &reason)
{
    QString text = Ini::WriteFailedText + path;
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    Seams::dialogs().MsgBox(text, MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Error"));
}

namespace {
QString finishWrite(bool ok, const QString &path)
{
    static const QString one = QStringLiteral("1"), zero = QStringLiteral("0");
    const QString &result = ok ? one : zero;
    // A save makes thousands of writes with the same answer: the global is
    // only replaced when the answer changes.
    if (Ini::IniWriteResult.constData() != result.constData())
        Ini::IniWriteResult = result;
    if (!ok)
        showIniWriteFailure(path);
    return result;
}
} // namespace

QString WriteIni(const QString &section, const QString &key, const QString &value,
                 const QString &path)
{
    return finishWrite(IniFile::writeValue(path, section, key, value), path);
}

QString DeleteIniKey(const QString &section, const QString &key, const QString &path)
{
    return finishWrite(IniFile::deleteKey(path, section, key), path);
}
