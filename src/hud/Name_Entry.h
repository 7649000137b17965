// Name_Entry: the player's name for the board, picked from a grid of keys by a finger or a pad, or typed,
// and let through only as the board's own rule allows.
#ifndef TAVRELO_NAME_ENTRY_H
#define TAVRELO_NAME_ENTRY_H

#include "Scene_UI_Element.h"

#include <QRect>
#include <QString>

#include <vector>

class Name_Entry : public Scene_UI_Element
{
public:
    // What a pad's buttons (or the arrows) do in the grid.
    enum Command
    {
        Nothing = 0,
        Move_Left,
        Move_Right,
        Move_Up,
        Move_Down,
        Press_Focused,
        Delete,
        Leave,  // the name kept as it was
        Finish, // the name typed, if the rule takes it
    };
    enum Outcome
    {
        Editing = 0,
        Chosen,
        Left_Unchanged,
    };
    static constexpr int Columns = 10;

    // Hidden until opened.
    Name_Entry();

    // Shown, with name (the one kept so far, or empty) to change.
    void Open(const QString& name);
    bool Is_Open() const { return m_visible; }
    // Places the grid for a view of this size, in the UI's pixels (on every resize).
    void Lay_Out(const QSize& view);

    void Draw(QPainter* painter) override;
    // While open every touch is the entry's: a key counts where the touch is released, as a button does.
    bool Mouse_Down(const QPoint& p) override;
    void Mouse_Move(const QPoint& p) override;
    void Mouse_Up(const QPoint& p) override;

    // A key of the keyboard, with the text it types; true when the entry took it (every key, while open).
    bool Key(int key, const QString& text);
    void Act(Command command);
    // Text added at the end of the name, unless the rule would refuse what no later letter can mend.
    void Type(const QString& text);
    // Chosen or left since the last poll; clears it.
    Outcome Poll_Outcome();

    // The grid: every key's caption and place, for tests and the pointer.
    int Key_Count() const { return static_cast<int>(m_rects.size()); }
    QString Key_Caption(int index) const;
    int Key_Of(const QString& caption) const;
    QRect Key_Rect(int index) const { return m_rects[static_cast<size_t>(index)]; }

    QString m_name;
    // Why the last try was refused, in the rule's own words; empty when nothing was.
    QString m_problem;
    int m_focus;
    bool m_lower_case;

private:
    void Press_Key(int index);
    int Key_At(const QPoint& p) const;
    void Move(int columns, int rows);
    void Close();

    std::vector<QRect> m_rects;
    QRect m_header;
    int m_held;
    Outcome m_outcome;
};

#endif
