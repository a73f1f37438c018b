#pragma once

#include <cstddef>
#include <cstdint>

// Short texts handled eight bytes at a time. A settings save copies and checks
// thousands of keys and values of a dozen bytes each, where a call to the
// library's copy or a loop per byte costs more than the work itself.
namespace ByteWords {

inline constexpr std::uint64_t Ones = 0x0101010101010101ULL;
inline constexpr std::uint64_t HighBits = 0x8080808080808080ULL;

// A set high bit marks each byte equal to b (exact as to whether there is one).
inline std::uint64_t equalTo(std::uint64_t word, unsigned char b)
{
    const std::uint64_t x = word ^ (Ones * b);
    return (x - Ones) & ~x & HighBits;
}

// A set high bit marks each byte below n (n at most 128; exact as to whether
// there is one).
inline std::uint64_t below(std::uint64_t word, unsigned char n)
{
    return (word - Ones * n) & ~word & HighBits;
}

// ASCII letters A-Z of a word to lower case; every other byte kept.
inline std::uint64_t lowered(std::uint64_t word)
{
    const std::uint64_t low7 = word & ~HighBits;
    const std::uint64_t atLeastA = low7 + Ones * (0x80 - 'A');
    const std::uint64_t aboveZ = low7 + Ones * (0x80 - 'Z' - 1);
    const std::uint64_t upper = (atLeastA ^ aboveZ) & ~word & HighBits;
    return word | (upper >> 2);
}

} // namespace ByteWords
