#include "Input_Track.h"

#include "Decimal_Text.h"

#include <QStringView>

#include <string>

namespace
{
// The first token: the codec's own name and the version of its layout.
constexpr char Header[] = "i1";

// A decimal number of at most seven digits, with a leading '-' when negative
// is allowed; pos moves past it. False when there is none.
bool Read_Number(QStringView text, int& pos, bool negative_allowed, int& value)
{
    bool negative = false;
    if (negative_allowed && pos < text.size() && text[pos] == QChar('-'))
    {
        negative = true;
        ++pos;
    }
    int digits = 0;
    value = 0;
    while (pos < text.size() && text[pos] >= QChar('0') && text[pos] <= QChar('9') && digits < 8)
    {
        value = value * 10 + (text[pos].unicode() - '0');
        ++pos;
        ++digits;
    }
    if (digits == 0 || digits > 7)
        return false;
    if (negative)
        value = -value;
    return true;
}

void Append_Number(std::string& text, int value)
{
    char digits[20];
    // In unsigned arithmetic, so that even the most negative int has a magnitude.
    const unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    if (value < 0)
        text += '-';
    text.append(digits, static_cast<size_t>(Decimal_Text::Write(digits, magnitude, 1)));
}

// A view's token, after the dot that ends the token before it.
void Append_View(std::string& text, const QSize& view)
{
    text += ".v";
    Append_Number(text, view.width());
    text += 'x';
    Append_Number(text, view.height());
}

bool Read_View(QStringView token, QSize& view)
{
    int pos = 1;
    int w = 0;
    int h = 0;
    if (!token.startsWith(QChar('v')) || !Read_Number(token, pos, false, w) || pos >= token.size() ||
        token[pos] != QChar('x'))
        return false;
    ++pos;
    if (!Read_Number(token, pos, false, h) || pos != token.size())
        return false;
    view = QSize(w, h);
    return true;
}
} // namespace

void Input_Track::Clear(const QSize& view)
{
    m_start_view = view;
    m_runs.clear();
    m_frames = 0;
    m_full = false;
}

void Input_Track::Append(Input_Frame frame)
{
    if (m_frames >= Max_Frames)
    {
        m_full = true;
        return;
    }
    if (!frame.held)
        frame.pointer = QPoint();
    ++m_frames;
    if (!m_runs.empty() && m_runs.back().frame == frame)
        ++m_runs.back().count;
    else
        m_runs.push_back(Run{frame, 1});
}

QString Input_Track::Encode() const
{
    if (m_full)
        return QString();
    // Written a character at a time into one buffer: a lap's end encodes a few thousand runs in the frame it
    // finishes, and a string per token made that frame a millisecond long.
    std::string text;
    text.reserve(32 + m_runs.size() * 16);
    text += Header;
    Append_View(text, m_start_view);
    QSize view = m_start_view;
    for (const Run& run : m_runs)
    {
        if (run.frame.view != view)
        {
            view = run.frame.view;
            Append_View(text, view);
        }
        text += '.';
        Append_Number(text, run.count);
        if (run.frame.held)
        {
            text += 'p';
            Append_Number(text, run.frame.pointer.x());
            text += ':';
            Append_Number(text, run.frame.pointer.y());
        }
        else
        {
            text += '-';
        }
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool Input_Track::Decode(const QString& text, QString& reason)
{
    Clear(QSize());
    if (text.size() > Max_Text)
    {
        reason = QStringLiteral("longer than any lap's inputs");
        return false;
    }
    // Read token by token in place: a board decodes every lap it is sent, and
    // a list of the tokens as strings of their own was a fifth of that work.
    const int first_dot = static_cast<int>(text.indexOf(QChar('.')));
    if (first_dot < 0 || QStringView(text).left(first_dot).compare(QLatin1String(Header)) != 0)
    {
        reason = QStringLiteral("not inputs of this game");
        return false;
    }
    QSize view;
    for (int i = 1, start = first_dot + 1; start <= text.size(); ++i)
    {
        const int dot = static_cast<int>(text.indexOf(QChar('.'), start));
        const int end = dot < 0 ? static_cast<int>(text.size()) : dot;
        const QStringView token = QStringView(text).mid(start, end - start);
        start = end + 1;
        if (token.startsWith(QChar('v')))
        {
            if (!Read_View(token, view) || view.width() > Max_Pixels || view.height() > Max_Pixels)
            {
                reason = QStringLiteral("a view size out of range in '%1'").arg(token.left(24).toString());
                return false;
            }
            if (i == 1)
                m_start_view = view;
            continue;
        }
        if (i == 1)
        {
            reason = QStringLiteral("no view size at the start");
            return false;
        }
        int pos = 0;
        int count = 0;
        Input_Frame frame;
        frame.view = view;
        bool ok = Read_Number(token, pos, false, count) && count >= 1 && pos < token.size();
        if (ok && token[pos] == QChar('-'))
        {
            ok = pos + 1 == token.size();
        }
        else if (ok && token[pos] == QChar('p'))
        {
            int x = 0;
            int y = 0;
            ++pos;
            ok = Read_Number(token, pos, true, x) && pos < token.size() && token[pos] == QChar(':');
            ++pos;
            ok = ok && Read_Number(token, pos, true, y) && pos == token.size() && qAbs(x) <= Max_Pixels &&
                 qAbs(y) <= Max_Pixels;
            frame.held = true;
            frame.pointer = QPoint(x, y);
        }
        else
        {
            ok = false;
        }
        if (!ok)
        {
            reason = QStringLiteral("no frame in '%1'").arg(token.left(24).toString());
            return false;
        }
        if (count > Max_Frames - m_frames)
        {
            reason = QStringLiteral("more than %1 frames").arg(Max_Frames);
            return false;
        }
        m_frames += count;
        m_runs.push_back(Run{frame, count});
    }
    return true;
}
