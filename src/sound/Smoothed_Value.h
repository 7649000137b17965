// Smoothed_Value: a sound parameter that glides to each new target sample by sample, so a change never
// clicks.
#ifndef TAVRELO_SMOOTHED_VALUE_H
#define TAVRELO_SMOOTHED_VALUE_H

class Smoothed_Value
{
public:
    // share: the part of the distance to the target covered per sample (a one-pole low-pass).
    explicit Smoothed_Value(float share, float start = 0.0f) : m_share(share), m_value(start), m_target(start)
    {
    }

    void Set_Target(float target) { m_target = target; }
    float Target() const { return m_target; }
    float Value() const { return m_value; }
    // Jumps to the target: only where nothing is audible.
    void Settle() { m_value = m_target; }

    float Next()
    {
        m_value += (m_target - m_value) * m_share;
        // Landed: a glide that never quite arrives would end in denormals, and
        // a level that never reaches zero would keep a silent voice working.
        if (m_value - m_target < 1e-6f && m_target - m_value < 1e-6f)
            m_value = m_target;
        return m_value;
    }

private:
    float m_share;
    float m_value;
    float m_target;
};

#endif
