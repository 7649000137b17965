#include "Ghost_Record.h"

#include "Ghost_Ship.h"
#include "Portable_Math.h"

#include <QChar>

#include <algorithm>
#include <cmath>
#include <cstdint>

// A ghost string carries four bits per character, 'a' (0) to 'p' (15); bytes
// and 16-bit values are written least significant nibble first. Layout: the
// format byte (1), the course version byte, then ten characters per frame:
// x step and y step (16-bit two's complement, 1/256 world unit) and the
// heading (a byte, 254 steps per turn). Steps are relative to where the
// previous sample left the ghost, so the quantisation error never builds up.

namespace
{
constexpr int Format = 1;
constexpr float Full_Turn = Portable_Math::Race_Turn;
constexpr float Heading_Steps = 254.0f;
constexpr float Step_Unit = 0.00390625f; // 1/256
constexpr float Step_Scale = 256.0f;
constexpr int Min_Step = -32768;
constexpr int Max_Step = 32767;
// Below this the wrapping loops take a handful of rounds; beyond it a
// heading is reduced in one go first (a remainder is exact, so only absurd
// headings can tell the difference).
constexpr float Loop_Wrap_Limit = 1024.0f;

// The lowest nibbles of value, lowest first, each a letter from 'a' to 'p'; returns the end of what it wrote.
QChar* Put_Nibbles(QChar* text, unsigned value, int nibbles)
{
    for (int i = 0; i < nibbles; ++i, value >>= 4)
        *text++ = QChar(static_cast<char16_t>(0x61u + (value & 15u)));
    return text;
}

// Past the end of the replay the reader yields 0 and stays put, so a string
// cut inside a field replays its missing nibbles as 0. Any character decodes
// to something: foreign ones move the ghost wrongly, but harmlessly.
unsigned Read_Nibble(Ghost_Ship& ghost)
{
    if (ghost.m_read_pos < 0 || ghost.m_read_pos >= ghost.m_playback.size())
        return 0;
    const unsigned code = static_cast<unsigned char>(ghost.m_playback.at(ghost.m_read_pos).toLatin1());
    ++ghost.m_read_pos;
    return (code - 0x61u) & 15u;
}

unsigned Read_Byte(Ghost_Ship& ghost)
{
    const unsigned low = Read_Nibble(ghost);
    return low | (Read_Nibble(ghost) << 4);
}

int Read_Step(Ghost_Ship& ghost)
{
    unsigned value = 0;
    for (int shift = 0; shift < 16; shift += 4)
        value |= Read_Nibble(ghost) << shift;
    return value >= 0x8000u ? static_cast<int>(value) - 0x10000 : static_cast<int>(value);
}

// The step in 1/256 units, truncated towards zero. A step too long for the
// 16-bit field is clamped rather than wrapped: the record's reference then
// moves only as far as the written step, so the replay still ends up exactly
// where the record thinks it is and the following samples make up the rest.
// A step that is not a number is written as no step.
int Quantise_Step(float from, float to)
{
    const float scaled = (to - from) * Step_Scale;
    if (std::isnan(scaled))
        return 0;
    if (scaled <= static_cast<float>(Min_Step))
        return Min_Step;
    if (scaled >= static_cast<float>(Max_Step))
        return Max_Step;
    return static_cast<int>(scaled);
}

// The heading in 254 steps per turn. A heading that is not finite is written
// as 0; the result is always 0 to 254, so it fits its byte.
unsigned Quantise_Heading(float heading)
{
    float h = heading;
    if (!std::isfinite(h))
        h = 0.0f;
    else if (!(std::fabs(h) < Loop_Wrap_Limit))
        h = std::fmod(h, Full_Turn);
    while (h >= Full_Turn)
        h -= Full_Turn;
    while (h < 0.0f)
        h += Full_Turn;
    return static_cast<unsigned>(h / Full_Turn * Heading_Steps);
}
} // namespace

void Ghost_Start(Ghost_Ship& ghost, const QString& stored, const QPointF& start, float heading, int version)
{
    ghost.m_playback = stored;
    ghost.m_position = start;
    ghost.m_angle = heading;
    ghost.m_read_pos = 0;
    ghost.m_record.clear();
    ghost.m_record_position = start;

    const unsigned format = Read_Byte(ghost);
    const unsigned stored_version = Read_Byte(ghost);
    // A run made on other course data, or in another format, would not follow this course.
    if (format != static_cast<unsigned>(Format) || static_cast<int>(stored_version) != version)
    {
        ghost.m_playback.clear();
        ghost.m_read_pos = 0;
    }

    ghost.m_record.reserve(std::min(ghost.m_record_cap, Ghost_Record_Cap) + 1 + Ghost_Sample_Length);
    QChar header[Ghost_Header_Length];
    Put_Nibbles(Put_Nibbles(header, Format, 2), static_cast<unsigned>(version), 2);
    ghost.m_record.append(header, Ghost_Header_Length);
}

void Ghost_Record_Sample(Ghost_Ship& ghost, const QPointF& position, float heading)
{
    if (ghost.m_record.size() > ghost.m_record_cap)
        return;

    const float x = static_cast<float>(ghost.m_record_position.x());
    const float y = static_cast<float>(ghost.m_record_position.y());
    const int qx = Quantise_Step(x, static_cast<float>(position.x()));
    const int qy = Quantise_Step(y, static_cast<float>(position.y()));
    ghost.m_record_position.setX(x + static_cast<float>(qx) * Step_Unit);
    ghost.m_record_position.setY(y + static_cast<float>(qy) * Step_Unit);

    // Written whole and appended once: a lap's proof records a sample on every step.
    QChar sample[Ghost_Sample_Length];
    QChar* end = Put_Nibbles(sample, static_cast<unsigned>(qx), 4);
    end = Put_Nibbles(end, static_cast<unsigned>(qy), 4);
    Put_Nibbles(end, Quantise_Heading(heading), 2);
    ghost.m_record.append(sample, Ghost_Sample_Length);
}

void Ghost_Play_Sample(Ghost_Ship& ghost)
{
    if (ghost.m_read_pos < 0 || ghost.m_read_pos >= ghost.m_playback.size())
        return;

    const int dx = Read_Step(ghost);
    ghost.m_position.setX(static_cast<float>(ghost.m_position.x()) + static_cast<float>(dx) * Step_Unit);
    const int dy = Read_Step(ghost);
    ghost.m_position.setY(static_cast<float>(ghost.m_position.y()) + static_cast<float>(dy) * Step_Unit);
    const unsigned q = Read_Byte(ghost);
    ghost.m_angle = static_cast<float>(q) * Full_Turn / Heading_Steps;
}
