// Rumble_Voice: the rough, low rumble of a craft running off the road.
#ifndef TAVRELO_RUMBLE_VOICE_H
#define TAVRELO_RUMBLE_VOICE_H

#include "Smoothed_Value.h"

#include <cstdint>

class Rumble_Voice
{
public:
    Rumble_Voice();

    // off_road: 0 on the road to 1 at the edge of being put back; speed in world units per step.
    void Set(float off_road, float speed);
    // The next sample, within [-Peak, Peak].
    float Next();

    static const float Peak;

private:
    Smoothed_Value m_level;
    // The noise is the game's own: the same every run, on every machine.
    uint32_t m_seed;
    float m_low;
    float m_lower;
    float m_flutter_phase;
};

#endif
