#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Short texts handled eight bytes at a time. A settings save copies and checks
// thousands of keys and values of a dozen bytes each, where a call to the
// library's copy or a loop per byte costs more than the work itself.
namespace ByteWords {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// A set high bit marks each byte equal to b (exact as to whether there is one).
inline std::uint64_t equalTo(std::uint64_t word, unsigned char b)
{
    const std::uint64_t x = word ^ (kOnes * b);
    return (x - kOnes) & ~x & kHighBits;
}

// A set high bit marks each byte below n (n at most 128; exact as to whether
// there is one).
inline std::uint64_t below(std::uint64_t word, unsigned char n)
{
    return (word - kOnes * n) & ~word & kHighBits;
}

// ASCII letters A-Z of a word to lower case; every other byte kept.
inline std::uint64_t lowered(std::uint64_t word)
{
    const std::uint64_t low7 = word & ~kHighBits;
    const std::uint64_t atLeastA = low7 + kOnes * (0x80 - 'A');
    const std::uint64_t aboveZ = low7 + kOnes * (0x80 - 'Z' - 1);
    const std::uint64_t upper = (atLeastA ^ aboveZ) & ~word & kHighBits;
    return word | (upper >> 2);
}

// The bytes of text from offset on, at most eight, in a word padded with pad.
// Never reads past the text's end.
inline std::uint64_t load(std::string_view text, std::size_t offset, char pad)
{
    std::uint64_t word;
    const std::size_t rest = text.size() - offset;
    if (rest >= 8) {
        std::memcpy(&word, text.data() + offset, 8);
        return word;
    }
    if constexpr (std::endian::native == std::endian::little) {
        // Shifted in byte by byte: a copy loop would become a library call.
        word = kOnes * static_cast<unsigned char>(pad);
        for (std::size_t i = 0; i < rest; ++i) {
            const unsigned shift = unsigned(i) * 8;
            word = (word & ~(std::uint64_t(0xFF) << shift)) |
                   (std::uint64_t(static_cast<unsigned char>(text[offset + i])) << shift);
        }
    } else {
        char bytes[8];
        std::memset(bytes, pad, 8);
        std::memcpy(bytes, text.data() + offset, rest);
        std::memcpy(&word, bytes, 8);
    }
    return word;
}

} // namespace ByteWords
