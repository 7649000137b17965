// Scene_UI_Element: a screen-space element with a fading visibility, touch handling and shadowed text.
#ifndef TAVRELO_SCENE_UI_ELEMENT_H
#define TAVRELO_SCENE_UI_ELEMENT_H

#include "Scene_Element.h"
#include "Text_Layer.h"

#include <QColor>
#include <QPen>
#include <QPoint>
#include <QSize>
#include <QStaticText>
#include <QString>

class Scene_UI_Element : public Scene_Element
{
public:
    explicit Scene_UI_Element(float visible_alpha = 0.0f);

    // Opacity smoothing: the alpha moves 8 % of the way to its target per frame,
    // whatever the step (the fade is counted in frames, not seconds).
    void Update(float step) override;

    virtual bool Is_Visible() const;
    virtual void Set_Visible(bool visible);
    virtual float Get_Visible_Alpha() const;
    virtual void Set_Visible_Alpha(float alpha);

    // Returning true claims the touch: its moves and release then come here alone.
    virtual bool Mouse_Down(const QPoint& p);
    virtual void Mouse_Move(const QPoint& p);
    virtual void Mouse_Up(const QPoint& p);

    // Whether touches come in the view's own pixels rather than in the UI's
    // (which are larger on a large screen, Game_Scene::m_ui_scale).
    virtual bool In_View_Pixels() const;
    // The size of the view in the painter's units: the UI's pixels while the
    // UI pass draws scaled.
    static QSize View_Size(QPainter* painter);

    // The share of each channel this element keeps of all drawn under it,
    // where it darkens the whole view evenly; 255 where it does not.
    virtual int Kept_Under() const { return 255; }

    // The colour with its own alpha scaled by this element's opacity, and
    // darkened by m_kept.
    virtual QColor Change_Visible_Color(const QColor& color) const;
    virtual QColor Change_Visible_Color(int r, int g, int b, int a) const;

    // Text with a 2-pixel black drop shadow; (x, y) is the left end of the baseline.
    virtual void Draw_Text(QPainter* painter, int x, int y, QColor color, QString text);

    // A plain pen of the colour, kept from frame to frame: a pen made afresh
    // allocates, and most frames draw in the colours of the frame before.
    const QPen& Pen_Of(const QColor& colour);

    // Draws text with its left baseline end at p, laid out once and kept while
    // it is unchanged: shaping the glyphs is most of what a text costs to draw.
    void Draw_Laid_Out_Text(QPainter* painter, const QPointF& p, const QString& text);

    bool m_visible;
    float m_visible_alpha;
    // Whether this element's Update is the fade above and nothing else, as
    // its scene found from its type (Game_Scene::Set_UI_Elements).
    bool m_fade_only = false;

private:
    // The texts drawn last, as many as one element draws; the one used longest ago gives way.
    static constexpr int Laid_Out_Count = 3;
    QStaticText m_laid_out[Laid_Out_Count];
    unsigned m_laid_out_use[Laid_Out_Count];
    // When each was made: with a colour, what a layer holds.
    unsigned m_laid_out_made[Laid_Out_Count];
    // The opaque texts drawn last from layers, in each colour drawn (a shadow and the text).
    static constexpr int Layer_Count = 2 * Laid_Out_Count;
    Text_Layer m_layers[Layer_Count];
    unsigned m_layer_use[Layer_Count];
    unsigned m_uses;
    // The pens of the colours drawn last, as many as one element draws in; likewise.
    static constexpr int Pen_Count = 6;
    QPen m_pens[Pen_Count];
    unsigned m_pen_use[Pen_Count];
    unsigned m_pen_uses;
};

#endif
