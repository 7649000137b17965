#include "Stored_Record.h"

#include "Options.h"
#include "Record_Check.h"
#include "Track_List.h"

#include <QMetaType>
#include <QVariant>

Stored_Record Stored_Record::Read(Options& options, int course)
{
    Stored_Record record;
    const QString time_key = options.Name_Level_Value(course, "time");
    const QString ghost_key = options.Name_Level_Value(course, "ghost");
    const bool has_ghost = options.m_settings.contains(ghost_key);
    record.m_present = options.m_settings.contains(time_key) || has_ghost;
    record.m_time = options.Read_Best_Time(course);
    record.m_ghost = options.Read_Ghost(course);
    record.m_inputs = options.Read_Inputs(course);
    if (!record.m_present)
    {
        record.m_verdict = QStringLiteral("none");
        return record;
    }
    if (has_ghost && options.m_settings.value(ghost_key).userType() != QMetaType::QString)
    {
        record.m_verdict = QStringLiteral("the ghost is not text");
        return record;
    }
    // Read_Best_Time reads anything unusable as 0, which the check refuses.
    const QString fault = Check_Record(*Get_Track_Info(course), record.m_time, record.m_ghost);
    record.m_verdict = fault.isEmpty() ? QStringLiteral("ok") : fault;
    return record;
}
