// The numeric display's pictures for arbitrary texts: every position shows a
// picture of the chosen digit set, reads back as the character it stands for,
// blanks only leading zeros, and keeps its old picture for anything else.
#include "FuzzCheck.h"
#include "controls/DisplayPictures.h"
#include "core/NumberText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

namespace P = DisplayPictures;

// The character a picture of set offset o stands for, blank as ' ' and the
// point as the separator; 0 for a picture of no digit of that set.
QChar characterOf(int picture, int o, QChar separator)
{
    const int inSet = picture - o;
    if (inSet >= 1 && inSet <= 9)
        return QChar(u'0' + inSet);
    if (inSet == P::Zero)
        return u'0';
    if (inSet == P::Blank)
        return u' ';
    if (inSet == P::Point)
        return separator;
    return QChar();
}

P::Pictures fill(int picture)
{
    P::Pictures pictures;
    pictures.fill(picture);
    return pictures;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const int digitsType = in.ConsumeIntegralInRange(0, 3);
    const QString separator = in.ConsumeBool() ? QStringLiteral(",") : QStringLiteral(".");
    P::Pictures previous;
    for (int &picture : previous)
        picture = in.ConsumeIntegralInRange(1, P::Count);
    const QString text = QString::fromStdString(in.ConsumeRemainingBytesAsString());

    const P::Pictures shown = P::pictureIndices(digitsType, text, separator, previous);
    // The same text over another display state: only the characters the
    // display cannot show may differ.
    const P::Pictures overEmpty =
        P::pictureIndices(digitsType, text, separator, fill(P::EmptyText));
    if (text.isEmpty()) {
        FUZZ_CHECK(shown == fill(P::EmptyText));
        return 0;
    }

    const int o = digitsType == 2 ? P::SetSize : 0;
    const QChar sep = separator.at(0);
    // The five characters the display is about: the text right-aligned, zeros in front.
    QString field = text.right(P::Positions);
    while (field.size() < P::Positions)
        field.prepend(u'0');

    bool shownSoFar = false; // a visible picture came before
    bool plainNumber = true;
    QString readBack;
    for (int i = 0; i < P::Positions; ++i) {
        const QChar c = field.at(i);
        const bool showable = (c >= u'0' && c <= u'9') || c == sep;
        FUZZ_CHECK(shown[i] >= 1 && shown[i] <= P::Count);
        if (!showable) {
            FUZZ_CHECK_EQ(shown[i], previous[i]);
            FUZZ_CHECK_EQ(overEmpty[i], P::EmptyText);
            plainNumber = false;
            shownSoFar = true;
            continue;
        }
        FUZZ_CHECK_EQ(shown[i], overEmpty[i]);
        const QChar read = characterOf(shown[i], o, sep);
        FUZZ_CHECK(!read.isNull());
        if (read == u' ') {
            // A blank stands for a zero, only ahead of everything shown, and
            // never in the last position.
            FUZZ_CHECK(c == u'0' && !shownSoFar && i < P::Positions - 1);
        } else {
            FUZZ_CHECK_EQ(read, c);
            shownSoFar = true;
        }
        readBack += read;
    }

    // A number shows its value, except that a separator after four zeros
    // shows alone, as the display has always done.
    if (plainNumber && field.count(sep) <= 1 && !field.endsWith(sep)) {
        const auto value = NumberText::toDouble(field, separator);
        FUZZ_CHECK(value.has_value());
        FUZZ_CHECK_EQ(NumberText::toDouble(readBack.trimmed(), separator).value_or(-1), *value);
    }
    return 0;
}
