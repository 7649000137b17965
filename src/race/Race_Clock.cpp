#include "Race_Clock.h"

#include "Decimal_Text.h"

#include <cstring>

Race_Clock::Race_Clock() : m_running(false), m_elapsed(0.0f), m_best(0.0f), m_gap_known(false), m_gap(0.0f) {}

void Race_Clock::Tick(float step)
{
    if (m_running)
        m_elapsed += step;
}

QString Race_Clock::Format_Time(float seconds)
{
    char text[Time_Text_Size];
    const int length = Format_Time(seconds, text);
    return QString::fromLatin1(text, length);
}

int Race_Clock::Format_Time(float seconds, char (&text)[Time_Text_Size])
{
    const float hundredths = seconds * 100.0f;
    // A clock never shows a negative time, and the best time comes from a file
    // the user may edit: anything that is not a number, or whose hundredths do
    // not fit an int (2^31 is exact in float), shows as an unknown time rather
    // than going through an undefined conversion. Values in (-1, 0) hundredths
    // truncate to zero like any other fraction.
    if (!(hundredths > -1.0f) || !(hundredths < 2147483648.0f))
    {
        std::memcpy(text, "--:--:--", 9);
        return 8;
    }
    // At most 357913 minutes: the text (and its ending zero) fits with room to spare.
    const int c = static_cast<int>(hundredths);
    const int s = c / 100;
    int length = Decimal_Text::Write(text, static_cast<unsigned>(s / 60), 2);
    text[length++] = ':';
    length += Decimal_Text::Write(text + length, static_cast<unsigned>(s % 60), 2);
    text[length++] = ':';
    length += Decimal_Text::Write(text + length, static_cast<unsigned>(c % 100), 2);
    text[length] = '\0';
    return length;
}
