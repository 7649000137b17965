#include "Input_Track.h"

#include <QStringList>
#include <QStringView>

namespace
{
// The first token: the codec's own name and the version of its layout.
const QString Header = QStringLiteral("i1");

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

QString View_Token(const QSize& view)
{
    return QStringLiteral("v%1x%2").arg(view.width()).arg(view.height());
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
    QStringList tokens;
    tokens << Header << View_Token(m_start_view);
    QSize view = m_start_view;
    for (const Run& run : m_runs)
    {
        if (run.frame.view != view)
        {
            view = run.frame.view;
            tokens << View_Token(view);
        }
        if (run.frame.held)
            tokens << QStringLiteral("%1p%2:%3")
                          .arg(run.count)
                          .arg(run.frame.pointer.x())
                          .arg(run.frame.pointer.y());
        else
            tokens << QStringLiteral("%1-").arg(run.count);
    }
    return tokens.join(QChar('.'));
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
    if (first_dot < 0 || QStringView(text).left(first_dot).compare(Header) != 0)
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
