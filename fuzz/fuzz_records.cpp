// Fuzz target: arbitrary stored ghosts through the load, replay and record steps, arbitrary floats
// through the clock text, arbitrary record files through the importer's reading, and arbitrary kept
// inputs through their decoder and the race that verifies them. Built with clang's libFuzzer (see
// fuzz/CMakeLists.txt).
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Input_Track.h"
#include "Lap_Verifier.h"
#include "Race_Clock.h"
#include "Record_File.h"
#include "Track_List.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
float Read_Float(const uint8_t*& data, size_t& size)
{
    float value = 0.0f;
    if (size >= sizeof value)
    {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    return value;
}

// A record file comes from somebody else: whatever it holds, reading it
// gives either a reason or a record the game could have written, and such a
// record survives being written and read again unchanged.
void Read_Record_File(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Record_File record;
    QString reason;
    if (!record.Read(bytes, reason))
    {
        if (reason.isEmpty())
            __builtin_trap();
        return;
    }
    if (record.m_course < 0 || record.m_course >= Get_Track_Count() || !(record.m_time > 0.0f) ||
        !std::isfinite(record.m_time) || !reason.isEmpty())
        __builtin_trap();
    Record_File again;
    if (!again.Read(Record_File::Write(record.m_course, record.m_time, record.m_ghost, record.m_inputs),
                    reason) ||
        again.m_course != record.m_course || again.m_time != record.m_time ||
        again.m_ghost != record.m_ghost || again.m_inputs != record.m_inputs)
        __builtin_trap();
}

// Kept inputs come from somebody else too: they decode within their bounds
// or say why, encode back to the same frames, and whatever they steer, the
// race run on them ends in a verdict.
void Verify_Inputs(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Input_Track track;
    QString reason;
    if (!track.Decode(text, reason))
    {
        if (reason.isEmpty())
            __builtin_trap();
        return;
    }
    if (track.Frame_Count() > Input_Track::Max_Frames)
        __builtin_trap();
    Input_Track again;
    if (!again.Decode(track.Encode(), reason) || again.Frame_Count() != track.Frame_Count())
        __builtin_trap();
    const Lap_Verifier::Verdict verdict =
        Lap_Verifier::Verify(static_cast<int>(size % 3), 60.0f, QString(), text);
    if (verdict.kind != Lap_Verifier::Failed || verdict.reason.isEmpty())
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Read_Record_File(data, size);
    Verify_Inputs(data, size);

    // The first bytes are floats for the clock and for positions and headings;
    // the rest is the stored ghost, read both as UTF-8 and as Latin-1.
    const float clock = Read_Float(data, size);
    const QString text = Race_Clock::Format_Time(clock);
    if (text.isEmpty() || text.size() > 64)
        __builtin_trap();

    const float x = Read_Float(data, size);
    const float y = Read_Float(data, size);
    const float heading = Read_Float(data, size);
    const int version = size > 0 ? data[0] : 0;

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    for (const QString& stored : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)})
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, stored, QPointF(x, y), heading, version);
        if (ghost.m_read_pos < 0 || ghost.m_read_pos > stored.size())
            __builtin_trap();
        // Enough steps to run any replay to its end, and a few past it.
        const int steps = stored.size() / 10 + 3;
        for (int i = 0; i < steps; ++i)
        {
            Ghost_Play_Sample(ghost);
            Ghost_Record_Sample(ghost, QPointF(x + float(i), y - float(i)), heading + float(i));
        }
        if (ghost.m_record.size() > Ghost_Record_Cap + 10 || !ghost.m_record.startsWith("ba"))
            __builtin_trap();
        for (const QChar c : ghost.m_record)
            if (c < QChar('a') || c > QChar('p'))
                __builtin_trap();
    }
    return 0;
}
