// The metrics endpoint's request-head limits on arbitrary bytes, split into
// arbitrary pieces as a socket hands them over: the verdict does not depend
// on the split, a broken limit stays broken, and nothing past 8 KiB of one
// head is let through.
#include "FuzzCheck.h"
#include "metrics/HttpHeadLimit.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::size_t pieceSeed = input.ConsumeIntegral<std::size_t>();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    using V = HttpHeadLimit::Verdict;

    HttpHeadLimit whole;
    const V once = whole.feed(bytes.data(), qsizetype(bytes.size()));

    HttpHeadLimit pieces;
    V last = V::Complete;
    bool broken = false;
    std::size_t at = 0, step = pieceSeed;
    while (at < bytes.size()) {
        const std::size_t n = std::min<std::size_t>(1 + step % 97, bytes.size() - at);
        step = step / 97 + n * 31;
        last = pieces.feed(bytes.data() + at, qsizetype(n));
        const bool nowBroken = last != V::Reading && last != V::Complete;
        FUZZ_CHECK(!broken || nowBroken);
        broken = nowBroken;
        at += n;
    }
    FUZZ_CHECK(bytes.empty() || last == once);
    // A whole head within the limits has a line end and is at most MaxBytes.
    if (once == V::Reading || once == V::Complete)
        FUZZ_CHECK(bytes.size() <= std::size_t(HttpHeadLimit::MaxBytes) ||
                   bytes.find('\n') != std::string::npos);
    return 0;
}
