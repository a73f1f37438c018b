#pragma once

#include <cstddef>
#include <string_view>

// The bytes of the texts a settings call passes. A configuration save passes
// thousands of short keys and values, nearly all plain ASCII: narrowing them
// several characters at a time costs less than the general UTF-8 conversion,
// which also allocates.
namespace IniEngine {

// Narrows UTF-16 text that is plain ASCII to bytes; false when a character
// outside ASCII turns up. *special is set when the text holds a control
// character (line breaks among them), or '=' when equalsToo: a key or value
// without them makes a plain line, which a new file's build takes as it is.
bool narrowAscii(const char16_t *in, std::size_t size, char *out, bool *special = nullptr,
                 bool equalsToo = false);

inline std::string_view stripSpaces(std::string_view text)
{
    // Spaces only: an argument with a tab at either end matches nothing, and
    // existing callers depend on that.
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace IniEngine
