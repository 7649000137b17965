#include "Record_Keeper.h"

#include "Ghost_Record.h"
#include "Input_Track.h"
#include "Options.h"
#include "Race_Clock.h"
#include "Track_List.h"

#include <QDebug>

#include <algorithm>

Record_Keeper::Record_Keeper(Options& options) : m_options(options) {}

Record_Keeper::Verdict Record_Keeper::Finish_Lap(int course, float time, const QString& recorded_ghost,
                                                 const Input_Track& inputs)
{
    const float stored = m_options.Read_Best_Time(course);
    if (stored != 0.0f && stored <= time)
    {
        Save(nullptr);
        return Verdict{false, stored, QString(), Record{course, time, QString(), QString()}};
    }
    const Record best{course, time, recorded_ghost.size() <= Ghost_Record_Cap ? recorded_ghost : QString(),
                      inputs.Encode()};
    return Verdict{true, stored, Save(&best), best};
}

QString Record_Keeper::Save(const Record* new_best)
{
    QString new_best_error;
    if (new_best != nullptr)
    {
        // The new best replaces whatever of its course was still waiting.
        m_unsaved.erase(std::remove_if(m_unsaved.begin(), m_unsaved.end(),
                                       [new_best](const Record& unsaved)
                                       { return unsaved.course == new_best->course; }),
                        m_unsaved.end());
        m_unsaved.push_back(*new_best);
    }
    std::vector<Record> still_unsaved;
    for (const Record& unsaved : m_unsaved)
    {
        const bool written =
            m_options.Write_Record(unsaved.course, unsaved.time, unsaved.ghost, unsaved.inputs);
        const QString notice = m_options.Take_Backup_Notice();
        if (!notice.isEmpty())
            qWarning().noquote() << QStringLiteral("tavrelo: warning: ") + notice;
        if (written)
            continue;
        // The clock shows the new best, so the player must learn that it is not kept yet.
        qWarning().noquote() << QStringLiteral(
                                    "tavrelo: warning: cannot save the best lap %1 of %2 to %3: %4")
                                    .arg(Race_Clock::Format_Time(unsaved.time),
                                         Get_Track_Name(unsaved.course), m_options.m_settings.fileName(),
                                         m_options.Write_Error());
        if (new_best != nullptr && unsaved.course == new_best->course)
            new_best_error = m_options.Write_Error();
        still_unsaved.push_back(unsaved);
    }
    m_unsaved.swap(still_unsaved);
    return new_best_error;
}

const std::vector<Record_Keeper::Record>& Record_Keeper::Unsaved() const
{
    return m_unsaved;
}
