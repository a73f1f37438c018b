#pragma once

#include <QString>

namespace Locale {
// The user's decimal separator (the default locale's; tests may set another
// default locale).
QString GetDecimalSpecifier();
} // namespace Locale
