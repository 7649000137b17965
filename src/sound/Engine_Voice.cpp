#include "Engine_Voice.h"

#include "Portable_Math.h"
#include "Sound_Frame.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float Idle_Pitch = 55.0f;
constexpr float Pitch_Per_Speed = 110.0f;
constexpr float Idle_Level = 0.12f;
constexpr float Speed_Level = 0.16f;
constexpr float Thrust_Level = 0.08f;
// The second harmonic is kept under half the fundamental: the wave then crosses
// zero twice a period and no more, and its peak stays below Engine_Wave_Peak.
constexpr float Second_Harmonic = 0.3f;
constexpr float Engine_Wave_Peak = 1.14f;
// A slow, shallow wobble of the pitch, as a real engine never holds it exactly.
constexpr float Wobble_Rate = 6.5f;
constexpr float Wobble_Depth = 0.004f;

// The share of the way to a target covered per sample for a glide of time constant seconds.
float Glide(float seconds)
{
    return 1.0f - std::exp(-1.0f / (seconds * static_cast<float>(Sound_Rate)));
}

float Advance(float phase, float hertz)
{
    phase += hertz / static_cast<float>(Sound_Rate);
    return phase >= 1.0f ? phase - std::floor(phase) : phase;
}
} // namespace

const float Engine_Voice::Peak = Idle_Level + Speed_Level + Thrust_Level;

Engine_Voice::Engine_Voice()
    : m_pitch(Glide(0.04f), Idle_Pitch), m_level(Glide(0.025f)), m_thrust(Glide(0.03f)), m_phase(0.0f),
      m_thrust_phase(0.0f), m_wobble_phase(0.0f)
{
}

float Engine_Voice::Pitch(float speed)
{
    // A craft put back or in a state that is not a number idles.
    const float s = std::isfinite(speed) ? std::min(std::max(speed, 0.0f), 1.2f * Sound_Top_Speed) : 0.0f;
    return Idle_Pitch + Pitch_Per_Speed * s;
}

void Engine_Voice::Set(float speed, float thrust, bool running)
{
    const float pace =
        std::min(std::max(Pitch(speed) - Idle_Pitch, 0.0f) / (Pitch_Per_Speed * Sound_Top_Speed), 1.0f);
    const float push = std::isfinite(thrust) ? std::min(std::max(thrust, 0.0f), 1.0f) : 0.0f;
    m_pitch.Set_Target(Pitch(speed));
    // An engine that has died away starts again from its new pitch, not with
    // a glide down from where the last race left it.
    if (m_level.Value() <= 0.0f && m_thrust.Value() <= 0.0f)
        m_pitch.Settle();
    m_level.Set_Target(running ? Idle_Level + Speed_Level * pace : 0.0f);
    m_thrust.Set_Target(running ? Thrust_Level * push : 0.0f);
}

float Engine_Voice::Next()
{
    const float level = m_level.Next();
    const float thrust = m_thrust.Next();
    const float pitch = m_pitch.Next();
    if (level <= 0.0f && thrust <= 0.0f)
        return 0.0f;
    m_wobble_phase = Advance(m_wobble_phase, Wobble_Rate);
    const float hertz = pitch * (1.0f + Wobble_Depth * Portable_Math::Sin(Sound_Two_Pi * m_wobble_phase));
    m_phase = Advance(m_phase, hertz);
    // The thrust layer an octave up and a little sharp: it beats against the
    // engine's own second harmonic, which sounds like a strained engine.
    m_thrust_phase = Advance(m_thrust_phase, 2.012f * hertz);
    // The harmonics come from the fundamental's sine (and cosine) by the
    // multiple-angle formulas: a sample's sines are most of what the sound
    // thread does, and a race plays 48,000 of them a second. They are the
    // game's own sines, not the C library's: on a Xeon of ours, the library's
    // sinf (its vector-encoded build) stalled the plain float code after each
    // return, and a second of a race's sound took 21 ms to mix, not 2.3 ms.
    float sample = 0.0f;
    if (level > 0.0f)
    {
        const float a = Sound_Two_Pi * m_phase;
        const float s = Portable_Math::Sin(a);
        const float engine = (s + Second_Harmonic * (2.0f * s * Portable_Math::Cos(a))) / Engine_Wave_Peak;
        sample += level * engine;
    }
    if (thrust > 0.0f)
    {
        // Odd harmonics falling as 1/n, sin b + sin 3b / 3 + sin 5b / 5: a
        // soft square, at most 1 in magnitude.
        const float t = Portable_Math::Sin(Sound_Two_Pi * m_thrust_phase);
        const float t2 = t * t;
        const float buzz = t * (3.0f - t2 * (16.0f / 3.0f - 3.2f * t2)) * 0.85f;
        sample += thrust * buzz;
    }
    return sample;
}
