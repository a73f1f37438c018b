#include "core/Locale.h"

#include <QLocale>

namespace Locale {
QString GetDecimalSpecifier()
{
    return QLocale().decimalPoint();
}
} // namespace Locale
