// Stars: forty background dots in four parallax layers that drift against the camera.
#ifndef TAVRELO_STARS_H
#define TAVRELO_STARS_H

#include "Scene_Element.h"

#include <QBrush>
#include <QColor>
#include <QPointF>
#include <QSize>

#include <random>

class Stars : public Scene_Element
{
public:
    static constexpr int Star_Count = 40;
    static constexpr int Layer_Count = 4;

    Stars();

    // Moves the stars with the camera found in the painter's transform, then paints them.
    void Draw(QPainter* painter) override;
    bool Can_Darken() const override { return true; }

    bool m_reset_stars;
    QColor m_layer_colors[Layer_Count];
    // One brush per layer, made with the colours: a brush made in a frame allocates.
    QBrush m_layer_brushes[Layer_Count];
    // The same darkened, made when first asked for at a share.
    QBrush m_dark_brushes[Layer_Count];
    int m_dark_kept = 255;
    float m_layer_depths[Layer_Count];
    QPointF m_star_offsets[Star_Count];
    QPointF m_last_center;
    // The device size of the previous Draw: when the view is resized (as when
    // the window goes full screen after its first frame) the field is
    // scattered afresh over the new visible area.
    QSize m_last_device_size;

    // Never seeded by the game: the same scatter on every run.
    std::minstd_rand m_random;

    // Straight edges round a dot. The nearest layer's dots are some twenty
    // pixels across at 1920x1080; with the corners set a little outside the
    // circle (as far out as the edges' middles lie in), the outline stays
    // within a tenth of a pixel of it there. Each edge more is dearer to fill:
    // 32 of them made the stars a tenth of a race's repaint.
    static constexpr int Dot_Edges = 16;

private:
    // Each layer's dot outlined once round the origin: a dot is filled as a
    // polygon, where an ellipse would be outlined and flattened by Qt for
    // every star of every frame.
    QPointF m_dot_outlines[Layer_Count][Dot_Edges];
};

#endif
