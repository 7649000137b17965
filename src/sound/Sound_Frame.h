// Sound_Frame: what one race step did, as the sound hears it, and the short cues the game plays.
#ifndef TAVRELO_SOUND_FRAME_H
#define TAVRELO_SOUND_FRAME_H

#include "Portable_Math.h"

// Samples per second of everything the game plays (mono, 16 bits): the sound servers' own rate,
// so nothing is resampled on the way.
constexpr int Sound_Rate = 48000;
// A full turn of a voice's phase.
constexpr float Sound_Two_Pi = Portable_Math::Two_Pi;
// The craft's top speed in world units per race step, where the voices reach their highest pitch and roughest
// rumble.
constexpr float Sound_Top_Speed = 2.5f;

// One bit each, so that a step can carry several.
enum Sound_Cue : unsigned
{
    Cue_None = 0,
    Cue_Start = 1u << 0,    // the clock starts
    Cue_Put_Back = 1u << 1, // the craft is put back on the road
    Cue_Finish = 1u << 2,   // a lap finished, slower than the best
    Cue_New_Best = 1u << 3, // a lap finished, the new best
    Cue_Click = 1u << 4,    // a button of the menu
};

struct Sound_Frame
{
    // World units per race step, up to about Sound_Top_Speed.
    float speed = 0.0f;
    // How hard the craft is driven, 0 (let go) to 1 (full thrust on both ends).
    float thrust = 0.0f;
    // How far off the road, 0 (on it) to 1 (about to be put back).
    float off_road = 0.0f;
    // Sound_Cue bits.
    unsigned cues = Cue_None;
};

#endif
