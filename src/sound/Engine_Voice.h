// Engine_Voice: the craft's engine, whose pitch and loudness follow its speed, with a brighter layer for
// thrust.
#ifndef TAVRELO_ENGINE_VOICE_H
#define TAVRELO_ENGINE_VOICE_H

#include "Smoothed_Value.h"

class Engine_Voice
{
public:
    Engine_Voice();

    // The targets of one race step; running false lets the engine die away (the menu).
    void Set(float speed, float thrust, bool running);
    // The next sample, within [-Peak, Peak].
    float Next();

    // The engine's fundamental, in hertz, at a speed in world units per step: rising with speed.
    static float Pitch(float speed);
    // The loudest the voice gets, both layers together.
    static const float Peak;

private:
    Smoothed_Value m_pitch;
    Smoothed_Value m_level;
    Smoothed_Value m_thrust;
    float m_phase;
    float m_thrust_phase;
    float m_wobble_phase;
};

#endif
