// Decimal_Text: whole numbers written out in decimal digits, for texts that change every frame.
#ifndef TAVRELO_DECIMAL_TEXT_H
#define TAVRELO_DECIMAL_TEXT_H

// The clock and the gap are written sixty times a second; printf's machinery
// (locale, format parsing) is far more code than the digits need, and it runs
// cold in each frame. The texts are the same as "%0Nd" gives.
class Decimal_Text
{
public:
    // Writes value (not negative) with at least min_digits digits, zeros in
    // front, at text; returns how many characters it wrote (at most 20).
    static int Write(char* text, unsigned long long value, int min_digits)
    {
        char reversed[20];
        int count = 0;
        do
        {
            reversed[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 && count < 20);
        while (count < min_digits && count < 20)
            reversed[count++] = '0';
        for (int i = 0; i < count; ++i)
            text[i] = reversed[count - 1 - i];
        return count;
    }
};

#endif
