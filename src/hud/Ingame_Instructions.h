// Ingame_Instructions: the hint shown at the start of a race until the craft moves, wrapped to the screen.
#ifndef TAVRELO_INGAME_INSTRUCTIONS_H
#define TAVRELO_INGAME_INSTRUCTIONS_H

#include "Scene_UI_Element.h"

#include <QFont>
#include <QStringList>

class Ingame_Instructions : public Scene_UI_Element
{
public:
    // What the hint speaks of: the device the player used last.
    enum Device
    {
        Touch = 0,
        Keys,
        Pad,
    };

    Ingame_Instructions();

    void Draw(QPainter* painter) override;
    QString Text() const;

    int m_device;

private:
    // The hint's lines, wrapped again only when its text, the width or the font change.
    QStringList m_lines;
    QString m_wrapped_text;
    int m_wrapped_width;
    QFont m_wrapped_font;
};

#endif
