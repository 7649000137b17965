// Sound_Notice: the short note that says the sound was just turned off or on.
#ifndef TAVRELO_SOUND_NOTICE_H
#define TAVRELO_SOUND_NOTICE_H

#include "Scene_UI_Element.h"

#include <QString>

class Sound_Notice : public Scene_UI_Element
{
public:
    // Frames the note stays before it fades: a second and a half at full rate.
    static constexpr int Shown_Frames = 90;

    // Hidden until the sound is turned off or on.
    Sound_Notice();

    // Shows the note for the sound as it now is.
    void Show(bool muted);
    void Update(float step) override;
    void Draw(QPainter* painter) override;

    QString m_text;
    int m_frames_left;
};

#endif
