// Split_Notice: the gap to the ghost at a sector's end, shown large near the top for two seconds.
#ifndef TAVRELO_SPLIT_NOTICE_H
#define TAVRELO_SPLIT_NOTICE_H

#include "Scene_UI_Element.h"

#include <QColor>
#include <QFont>
#include <QStaticText>
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
    QString Text() const { return m_text; }
    QColor Colour() const;

    int m_sector;
    float m_gap;
    int m_frames_left;

private:
    QString m_text;
    QStaticText m_laid_out;
    QString m_laid_out_text;
    QFont m_laid_out_font;
    qreal m_laid_out_width;
};

#endif
