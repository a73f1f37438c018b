#pragma once

#include <QString>
#include <array>

// Which picture each of the display's five positions shows for a text. The
// picture list holds two digit sets of twelve pictures (offset 0 and 12) and
// one picture for an empty text.
namespace DisplayPictures {
inline constexpr int Positions = 5;
inline constexpr int SetSize = 12;
// Within a set, relative to its offset: 1..9 the digits, then these.
inline constexpr int Zero = 10;
inline constexpr int Blank = 11;
inline constexpr int Point = 12;
// Shown in every position when there is no text, whatever the digit set.
inline constexpr int EmptyText = 2 * SetSize + 1;
inline constexpr int Count = EmptyText;

using Pictures = std::array<int, Positions>;

// 0 for digit set 1, 12 for digit set 2; any other set number falls back to set 1.
int setOffset(int digitsType);

// The pictures for text in digit set digitsType. The text is right-aligned in
// five positions; leading zeros show blank, and a character that is neither a
// digit nor the decimal separator leaves that position's previous picture.
Pictures pictureIndices(int digitsType, const QString &text, const QString &decimalSeparator,
                        const Pictures &previous);
} // namespace DisplayPictures
