#pragma once

#include <QStringList>
#include <functional>
#include <ostream>
#include <string>

// Texts in failure messages as text, also inside lists.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// The texts several fields show, in one list to compare at once.
template<typename... Field> QStringList texts(const Field *...fields)
{
    return {fields->text()...};
}

// A yes-or-no property of several widgets as '1' and '0', in their order:
// flags(&QWidget::isEnabled, a, b) is "10" when only a is enabled.
template<typename Property, typename... Widget>
std::string flags(Property property, const Widget *...widgets)
{
    return {(std::invoke(property, widgets) ? '1' : '0')...};
}
