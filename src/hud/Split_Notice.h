// Split_Notice: the gap to the ghost at a sector's end, shown large near the top for two seconds.
#ifndef TAVRELO_SPLIT_NOTICE_H
#define TAVRELO_SPLIT_NOTICE_H

#include "Character_Text.h"
#include "Ghost_Gap.h"
#include "Scene_UI_Element.h"

#include <QColor>
#include <QString>

class Split_Notice : public Scene_UI_Element
{
public:
    // Frames the gap stays before it fades: two seconds at full rate.
    static constexpr int Shown_Frames = 120;
    // How much larger than the HUD's other text it is drawn.
    static constexpr qreal Scale = 2.0;

    // Hidden until a line is crossed.
    Split_Notice();

    // The gap at the end of sector (from 0), in seconds, negative ahead.
    void Show(int sector, float gap);
    void Hide();
    void Update(float step) override;
    void Draw(QPainter* painter) override;

    // What is shown: "-0.42", "+1.07" (a gap level to the hundredth reads "0.00"), and its colour.
    QString Text() const { return QString::fromLatin1(m_text, m_length); }
    QColor Colour() const;

    int m_sector;
    float m_gap;
    int m_frames_left;

private:
    // Kept as characters and drawn from characters laid out once: a gap shown, or drawn, allocates nothing.
    char m_text[Ghost_Gap::Text_Size];
    int m_length;
    Character_Text m_characters;
};

#endif
