#include "core/ArgBytes.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace IniEngine {
namespace {

// Four characters of a word: their bits ORed into seen, lanes below ' ' (or
// equal to '=' when equalsLanes holds it in each lane) marked in odd, and the
// four low bytes stored side by side.
inline void narrowFour(const char16_t *in, char *out, std::uint64_t equalsLanes,
                       std::uint64_t &seen, std::uint64_t &odd)
{
    constexpr std::uint64_t ones = 0x0001000100010001ULL, high = 0x8000800080008000ULL;
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    // Lane order does not matter to the marks, only to the bytes stored.
    seen |= word;
    const std::uint64_t x = word ^ equalsLanes;
    odd |= ((word - ones * 0x20) & ~word & high) | ((x - ones) & ~x & high);
    if constexpr (std::endian::native == std::endian::little) {
        const auto packed = std::uint32_t((word & 0xFF) | ((word >> 8) & 0xFF00) |
                                          ((word >> 16) & 0xFF0000) | ((word >> 24) & 0xFF000000));
        std::memcpy(out, &packed, sizeof packed);
    } else {
        for (int k = 0; k < 4; ++k)
            out[k] = char(in[k]);
    }
}

} // namespace

bool narrowAscii(const char16_t *in, std::size_t size, char *out, bool *special, bool equalsToo)
{
    // Without '=' to look for, the lanes are compared with 0, a control character anyway.
    const std::uint64_t equalsLanes = equalsToo ? 0x003D003D003D003DULL : 0;
    std::uint64_t seen = 0, odd = 0;
    if (size < 4) {
        for (std::size_t i = 0; i < size; ++i) {
            const char16_t c = in[i];
            seen |= c;
            odd |= (c < 0x20) | (equalsToo & (c == u'='));
            out[i] = char(c);
        }
    } else if (size < 8) {
        // Most values: the first four characters and the last four, which
        // overlap; narrowing a character twice changes nothing.
        narrowFour(in, out, equalsLanes, seen, odd);
        narrowFour(in + size - 4, out + size - 4, equalsLanes, seen, odd);
    } else {
#ifdef __SSE2__
        // Eight characters per step, the last step ending at the last
        // character: pack to bytes, note any bit above ASCII and any
        // character below ' ' (or '=').
        __m128i seenWide = _mm_setzero_si128(), oddWide = _mm_setzero_si128();
        const __m128i space = _mm_set1_epi16(0x20), equals = _mm_set1_epi16(equalsToo ? '=' : 0);
        for (std::size_t i = 0;;) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
            seenWide = _mm_or_si128(seenWide, chars);
            oddWide = _mm_or_si128(oddWide, _mm_or_si128(_mm_cmplt_epi16(chars, space),
                                                         _mm_cmpeq_epi16(chars, equals)));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(chars, chars));
            if (i + 8 == size)
                break;
            i = std::min(i + 8, size - 8);
        }
        std::uint64_t halves[2];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(halves), seenWide);
        seen = halves[0] | halves[1];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(halves), oddWide);
        odd = halves[0] | halves[1];
#else
        for (std::size_t i = 0;;) {
            narrowFour(in + i, out + i, equalsLanes, seen, odd);
            if (i + 4 == size)
                break;
            i = std::min(i + 4, size - 4);
        }
#endif
    }
    if (special)
        *special = odd != 0;
    return (seen & 0xFF80FF80FF80FF80ULL) == 0;
}

} // namespace IniEngine
