#include "Rumble_Voice.h"

#include "Portable_Math.h"
#include "Sound_Frame.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float Top_Level = 0.2f;
// Two gentle low-passes leave a rumble under a few hundred hertz, loudened
// back up after the filters took most of the noise's strength.
constexpr float First_Pole = 0.035f;
constexpr float Second_Pole = 0.06f;
constexpr float Make_Up = 9.0f;
// The rumble shakes at a rate like a craft running over rough ground.
constexpr float Flutter_Rate = 13.0f;
} // namespace

const float Rumble_Voice::Peak = Top_Level;

Rumble_Voice::Rumble_Voice()
    : m_level(1.0f - std::exp(-1.0f / (0.03f * static_cast<float>(Sound_Rate)))), m_seed(0x2545f491u),
      m_low(0.0f), m_lower(0.0f), m_flutter_phase(0.0f)
{
}

void Rumble_Voice::Set(float off_road, float speed)
{
    if (!std::isfinite(off_road) || off_road <= 0.0f)
    {
        m_level.Set_Target(0.0f);
        return;
    }
    const float pace = std::isfinite(speed) ? std::min(std::max(speed / Sound_Top_Speed, 0.0f), 1.0f) : 0.0f;
    const float depth = std::min(off_road, 1.0f);
    m_level.Set_Target(Top_Level * (0.55f + 0.45f * depth) * (0.35f + 0.65f * pace));
}

float Rumble_Voice::Next()
{
    const float level = m_level.Next();
    if (level <= 1e-6f)
        return 0.0f;
    m_seed = m_seed * 1664525u + 1013904223u;
    const float noise = static_cast<float>(m_seed >> 8) * (2.0f / 16777216.0f) - 1.0f;
    m_low += (noise - m_low) * First_Pole;
    m_lower += (m_low - m_lower) * Second_Pole;
    m_flutter_phase += Flutter_Rate / static_cast<float>(Sound_Rate);
    if (m_flutter_phase >= 1.0f)
        m_flutter_phase -= 1.0f;
    const float flutter = 0.65f + 0.35f * Portable_Math::Sin(Sound_Two_Pi * m_flutter_phase);
    const float rough = std::min(std::max(m_lower * Make_Up, -1.0f), 1.0f);
    return level * flutter * rough;
}
