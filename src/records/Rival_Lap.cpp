#include "Rival_Lap.h"

#include "Lap_Verifier.h"
#include "Record_File.h"

#include <QFile>
#include <QFileInfo>

bool Rival_Lap::Load(const QString& path, QString& reason)
{
    *this = Rival_Lap();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        reason = QStringLiteral("cannot read it: %1").arg(file.errorString());
        return false;
    }
    if (!Read(file.read(Record_File::Max_File_Size + 1), reason))
        return false;
    m_name = QFileInfo(path).completeBaseName();
    return true;
}

bool Rival_Lap::Read(const QByteArray& bytes, QString& reason)
{
    *this = Rival_Lap();
    Record_File record;
    if (!record.Read(bytes, reason))
        return false;
    // Someone else's file: only a lap its inputs prove is raced, so a ghost cannot cut corners.
    const Lap_Verifier::Verdict proof =
        Lap_Verifier::Verify(record.m_course, record.m_time, record.m_ghost, record.m_inputs);
    if (proof.kind != Lap_Verifier::Verified)
    {
        reason = proof.kind == Lap_Verifier::Unverified ? QStringLiteral("the lap has no inputs to verify it")
                                                        : proof.Text();
        return false;
    }
    m_course = record.m_course;
    m_time = record.m_time;
    m_ghost = record.m_ghost;
    m_inputs = record.m_inputs;
    return true;
}
