// Record_Keeper: judges a finished lap against the course's best, writes a new best and keeps those the file
// did not take.
#ifndef TAVRELO_RECORD_KEEPER_H
#define TAVRELO_RECORD_KEEPER_H

#include <QString>

#include <vector>

class Input_Track;
class Options;

class Record_Keeper
{
public:
    struct Record
    {
        int course;
        float time;
        QString ghost;
        QString inputs;
    };
    struct Verdict
    {
        bool new_best;
        float previous;     // the best before this lap; 0 for none
        QString save_error; // why a new best is not in the file yet, or nothing
        Record kept;        // a new best as it is stored
    };

    // The store is not owned and outlives the keeper.
    explicit Record_Keeper(Options& options);

    // A lap that finished at time on course, with the ghost it recorded and the
    // inputs that drove it. A lap too long for the stored ghost keeps none, but
    // its inputs still prove its time. Every best still unsaved is written again.
    // Only a new best's inputs are written out: in the frame the lap ends, that
    // text was most of the work, and a slower lap never keeps it.
    Verdict Finish_Lap(int course, float time, const QString& recorded_ghost, const Input_Track& inputs);
    // Writes a new best (when given) and every record still unsaved; warns on
    // standard error about each one the file does not take. Returns why the
    // new best was not written, or nothing.
    QString Save(const Record* new_best);

    // A best lap the settings file did not take. The store keeps it in memory,
    // so the clock and the next race still know it.
    const std::vector<Record>& Unsaved() const;

private:
    Options& m_options;
    std::vector<Record> m_unsaved;
};

#endif
