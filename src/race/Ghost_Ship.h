// Ghost_Ship: replays the course's best run as a translucent craft and holds the run being recorded.
#ifndef TAVRELO_GHOST_SHIP_H
#define TAVRELO_GHOST_SHIP_H

#include "Chevron_Outlines.h"
#include "Scene_Element.h"

#include <QColor>
#include <QPen>
#include <QPointF>
#include <QStaticText>
#include <QString>

#include <cstdint>

class Ghost_Ship : public Scene_Element
{
public:
    Ghost_Ship();

    void Draw(QPainter* painter) override;
    bool Can_Darken() const override { return true; }
    // Another player's ghost is drawn in a colour of its own with their name beside it; an invalid
    // colour and no name give back the player's own ghost's look.
    void Set_Look(const QColor& colour, const QString& label);

    QString m_playback; // stored run being replayed; empty: no ghost
    int32_t m_read_pos; // next character of m_playback to decode
    QPointF m_position;
    float m_angle;
    QString m_record; // run being recorded now, header first
    QPointF m_record_position;
    // The record stops growing past this many characters: the stored format's
    // cap, unless a ghost is rebuilt from a longer lap's inputs.
    int32_t m_record_cap;
    // The outline of the player's craft, so that at equal position and heading the two coincide.
    Chevron_Outlines m_chevron;
    QColor m_colour;
    QString m_label;
    // The name laid out, and its pen, once per look: not again each frame.
    QStaticText m_label_text;
    QPen m_label_pen;
    // That pen darkened, made when first asked for in its colour and share.
    QPen m_dark_label_pen;
    // The name grows with the HUD on a large screen (Game_Scene::m_ui_scale), as every other text does.
    qreal m_label_scale;
};

#endif
