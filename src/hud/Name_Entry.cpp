#include "Name_Entry.h"

#include "Hud_Palette.h"
#include "Player_Name.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace
{
// Four rows of ten characters, then a row of five keys two columns wide.
const char* const Characters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ-_.'1234567890";
constexpr int Character_Keys = 40;
constexpr int Rows = 5;
const char* const Wide_Keys[] = {"abc", "Space", "Delete", "Cancel", "Done"};
constexpr int Case_Key = Character_Keys;
constexpr int Space_Key = Character_Keys + 1;
constexpr int Delete_Key = Character_Keys + 2;
constexpr int Cancel_Key = Character_Keys + 3;
constexpr int Done_Key = Character_Keys + 4;
constexpr int Key_Total = Done_Key + 1;
} // namespace

Name_Entry::Name_Entry()
    : Scene_UI_Element(0.0f), m_focus(0), m_lower_case(false), m_rects(Key_Total), m_held(-1),
      m_outcome(Editing)
{
    m_visible = false;
}

void Name_Entry::Open(const QString& name)
{
    m_name = name;
    m_problem.clear();
    m_focus = 0;
    // Capitals first, as a name begins.
    m_lower_case = false;
    m_held = -1;
    m_outcome = Editing;
    // At once rather than faded in: from this moment every touch and key is the entry's.
    m_visible = true;
    m_visible_alpha = 1.0f;
}

void Name_Entry::Lay_Out(const QSize& view)
{
    // Keys as large as the screen allows below the name, but not wider than a thumb needs on a wide one.
    const int margin = 6;
    const int header = std::min(std::max(view.height() * 3 / 10, 84), 130);
    const int column = std::min((view.width() - 2 * margin) / Columns, 90);
    const int row = std::min((view.height() - header - margin) / Rows, 70);
    const int left = (view.width() - column * Columns) / 2;
    m_header = QRect(left, margin, column * Columns, header - 2 * margin);
    for (int key = 0; key < Key_Total; ++key)
    {
        const bool wide = key >= Character_Keys;
        const int x = wide ? (key - Character_Keys) * 2 : key % Columns;
        const int y = wide ? Rows - 1 : key / Columns;
        m_rects[static_cast<size_t>(key)] =
            QRect(left + x * column + 2, header + y * row + 2, (wide ? 2 * column : column) - 4, row - 4);
    }
}

QString Name_Entry::Key_Caption(int index) const
{
    if (index == Case_Key)
        return m_lower_case ? QStringLiteral("ABC") : QStringLiteral("abc");
    if (index > Case_Key)
        return QString::fromLatin1(Wide_Keys[index - Character_Keys]);
    const QString character(QLatin1Char(Characters[index]));
    return m_lower_case ? character.toLower() : character;
}

int Name_Entry::Key_Of(const QString& caption) const
{
    for (int key = 0; key < Key_Total; ++key)
        if (Key_Caption(key) == caption)
            return key;
    return -1;
}

void Name_Entry::Draw(QPainter* painter)
{
    if (m_visible_alpha < 0.01f)
        return;
    const QSize view = View_Size(painter);
    painter->fillRect(QRect(QPoint(0, 0), view), Change_Visible_Color(0, 0, 0, 255));
    const QFontMetrics metrics = painter->fontMetrics();
    const int line = metrics.height();
    const QColor text = Change_Visible_Color(Hud_Palette::Text());

    // The prompt, the name in its box with the place the next letter goes, and what was refused or how to
    // leave.
    const int x = m_header.left() + 2;
    Draw_Text(painter, x, m_header.top() + metrics.ascent(), Hud_Palette::Text(),
              QStringLiteral("Your name on the board"));
    const QRect box(x, m_header.top() + line + 4, m_header.width() - 4, line + 8);
    painter->fillRect(box, Change_Visible_Color(55, 15, 10, 200));
    painter->setPen(Pen_Of(text));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->drawText(box.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter, m_name + QLatin1Char('_'));
    const QRect below(x, box.bottom() + 4, box.width(), m_header.bottom() - box.bottom() - 2);
    painter->setPen(
        Pen_Of(Change_Visible_Color(m_problem.isEmpty() ? Hud_Palette::Quiet() : Hud_Palette::Behind())));
    painter->drawText(below, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip,
                      m_problem.isEmpty() ? QStringLiteral("Enter: done, Escape: leave it as it was")
                                          : m_problem);

    const QColor frame = Change_Visible_Color(200, 255, 200, 255);
    const QColor focus = Change_Visible_Color(255, 190, 70, 255);
    for (int key = 0; key < Key_Total; ++key)
    {
        const QRect& rect = m_rects[static_cast<size_t>(key)];
        painter->fillRect(rect, key == m_held ? Change_Visible_Color(255, 60, 50, 190)
                                              : Change_Visible_Color(55, 15, 10, 150));
        painter->setPen(Pen_Of(key == m_focus ? focus : frame));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        if (key == m_focus)
            painter->drawRect(rect.adjusted(1, 1, -2, -2));
        painter->setPen(Pen_Of(frame));
        painter->drawText(rect, Qt::AlignCenter, Key_Caption(key));
    }
}

int Name_Entry::Key_At(const QPoint& p) const
{
    for (int key = 0; key < Key_Total; ++key)
        if (m_rects[static_cast<size_t>(key)].contains(p))
            return key;
    return -1;
}

bool Name_Entry::Mouse_Down(const QPoint& p)
{
    if (!m_visible)
        return false;
    m_held = Key_At(p);
    return true;
}

void Name_Entry::Mouse_Move(const QPoint& p)
{
    m_held = Key_At(p);
}

void Name_Entry::Mouse_Up(const QPoint& p)
{
    m_held = -1;
    const int key = Key_At(p);
    if (!m_visible || key < 0)
        return;
    m_focus = key;
    Press_Key(key);
}

bool Name_Entry::Key(int key, const QString& text)
{
    if (!m_visible)
        return false;
    switch (key)
    {
    case Qt::Key_Escape:
        Act(Leave);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Act(Finish);
        break;
    case Qt::Key_Backspace:
        Act(Delete);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        Act(key == Qt::Key_Left    ? Move_Left
            : key == Qt::Key_Right ? Move_Right
            : key == Qt::Key_Up    ? Move_Up
                                   : Move_Down);
        break;
    default:
        // Tab, F11 and the like type nothing and do nothing here; what else a key types, the rule judges.
        if (!text.isEmpty() && text.at(0).category() != QChar::Other_Control)
            Type(text);
        break;
    }
    return true;
}

void Name_Entry::Act(Command command)
{
    switch (command)
    {
    case Move_Left:
    case Move_Right:
        Move(command == Move_Left ? -1 : 1, 0);
        break;
    case Move_Up:
    case Move_Down:
        Move(0, command == Move_Up ? -1 : 1);
        break;
    case Press_Focused:
        Press_Key(m_focus);
        break;
    case Delete:
        m_problem.clear();
        // A character beyond the first plane is two halves: both go.
        m_name.chop(m_name.size() >= 2 && m_name.at(m_name.size() - 1).isLowSurrogate() ? 2 : 1);
        break;
    case Leave:
        m_outcome = Left_Unchanged;
        Close();
        break;
    case Finish:
        m_problem = Player_Name::Problem(m_name);
        if (m_problem.isEmpty())
        {
            m_outcome = Chosen;
            Close();
        }
        break;
    case Nothing:
        break;
    }
}

void Name_Entry::Type(const QString& text)
{
    // A letter and its accent typed one after the other are one character on the board.
    const QString typed = (m_name + text).normalized(QString::NormalizationForm_C);
    // An empty or blank name may still become one; a name too long or with an invisible character may not.
    const bool room = typed.toUcs4().size() < Player_Name::Max_Length;
    const QString problem = Player_Name::Problem(room ? typed + QLatin1Char('A') : typed);
    if (!problem.isEmpty())
    {
        m_problem = problem;
        return;
    }
    m_name = typed;
    m_problem.clear();
}

void Name_Entry::Press_Key(int index)
{
    switch (index)
    {
    case Case_Key:
        m_lower_case = !m_lower_case;
        break;
    case Space_Key:
        Type(QStringLiteral(" "));
        break;
    case Delete_Key:
        Act(Delete);
        break;
    case Cancel_Key:
        Act(Leave);
        break;
    case Done_Key:
        Act(Finish);
        break;
    default:
        Type(Key_Caption(index));
        break;
    }
}

void Name_Entry::Move(int columns, int rows)
{
    // Along a row and round its ends; the wide keys' row is walked two columns at a time.
    const bool wide = m_focus >= Character_Keys;
    int column = wide ? (m_focus - Character_Keys) * 2 : m_focus % Columns;
    const int row = ((wide ? Rows - 1 : m_focus / Columns) + rows + Rows) % Rows;
    column = (column + columns * (wide ? 2 : 1) + Columns) % Columns;
    m_focus = row == Rows - 1 ? Character_Keys + column / 2 : row * Columns + column;
}

void Name_Entry::Close()
{
    // Gone at once, as it came: the menu under it takes touches again now.
    m_visible = false;
    m_visible_alpha = 0.0f;
    m_held = -1;
}

Name_Entry::Outcome Name_Entry::Poll_Outcome()
{
    const Outcome outcome = m_outcome;
    m_outcome = Editing;
    return outcome;
}
