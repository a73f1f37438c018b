#include "controls/DisplayPictures.h"

namespace DisplayPictures {

int setOffset(int digitsType)
{
    return digitsType == 2 ? SetSize : 0;
}

Pictures pictureIndices(int digitsType, const QString &text, const QString &decimalSeparator,
                        const Pictures &previous)
{
    Pictures pictures;
    if (text.isEmpty()) {
        pictures.fill(EmptyText);
        return pictures;
    }
    const int o = setOffset(digitsType);
    const QString field = (QStringLiteral("0000") + text).right(Positions);
    const auto isSeparator = [&](QChar c) {
        return decimalSeparator.size() == 1 && c == decimalSeparator.at(0);
    };
    const auto allZeros = [&](int count) {
        for (int i = 0; i < count; ++i) {
            if (field.at(i) != u'0')
                return false;
        }
        return true;
    };

    for (int i = 0; i < Positions; ++i) {
        const QChar c = field.at(i);
        if (c >= u'1' && c <= u'9') {
            pictures[i] = o + (c.unicode() - u'0');
        } else if (isSeparator(c)) {
            pictures[i] = o + Point;
        } else if (c == u'0') {
            bool leading = false;
            if (i < 3)
                leading = allZeros(i) && !isSeparator(field.at(i + 1));
            else if (i == 3)
                leading = allZeros(3);
            pictures[i] = o + (leading ? Blank : Zero);
        } else {
            pictures[i] = previous[i];
        }
    }
    return pictures;
}
} // namespace DisplayPictures
