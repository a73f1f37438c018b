#pragma once

#include <QString>

// What the editor's fields accept when the user leaves them, apart from the
// window: the ratings come in as numbers, the verdict goes back as the text
// the field keeps and the message to show.
class FieldRules
{
public:
    struct Verdict
    {
        bool accepted = false;
        QString text;    // what the field holds afterwards (a fallback may replace it)
        QString message; // shown to the user; a warning can come with an accepted value
        double value = 0;
    };

    enum class LimitMode { Normal = 0, Latching = 1, Hiccup = 2, CurrentShare = 3 };

    static constexpr double LimitMargin = 0.125;
    static constexpr int MaxStartUpDelayMs = 65000;
    static constexpr int MaxLimitTimeMs = 65535;
    static constexpr int ShortTimeSpanMs = 3;
    static constexpr int TimeBoxChars = 5;

    // Set-point in volts; an empty text takes the slider's value (tenths).
    static Verdict setpoint(const QString &text, int sliderValue, double minV, double maxV,
                            const QString &sep);
    // Module-good limits: 12.5 % outside the rated range, 0 switches the
    // limit off, and the high limit stays above the low one.
    static Verdict highLimit(const QString &text, const QString &lowText, double minV, double maxV,
                             const QString &sep);
    static Verdict lowLimit(const QString &text, const QString &highText, double minV, double maxV,
                            const QString &sep);
    // Current limit in amperes; an empty text takes the scroll bar's value.
    static Verdict currentLimit(const QString &text, int scrollValue, int scrollMax,
                                const QString &sep);
    static Verdict startUpDelay(const QString &text, const QString &sep);
    // Current-limit delay and reset time in ms.
    static Verdict limitTime(const QString &text, const QString &sep);
    // A time value worth marking for writing.
    static bool limitTimeMarksChange(const QString &text, const QString &sep);
    // Whether the time box may take one more typed character.
    static bool timeBoxTakesChar(QChar c, int length, int selectedLength);

    // Current-limit mode buttons: 3m-2 Normal, 3m-1 Latching, 3m Hiccup,
    // 15+m Current Share.
    static int moduleOfLimitButton(int index);
    static LimitMode modeOfLimitButton(int index);
    static int limitButton(int m, LimitMode mode);

    // How a number appears in a message: as the user wrote it, or plain.
    static QString numberText(double value, const QString &sep);

private:
    static Verdict limit(const QString &text, const QString &otherText, double minV, double maxV,
                         const QString &sep, bool high);
};
