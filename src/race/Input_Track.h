// Input_Track: what steered a race, frame by frame, kept as runs of unchanged frames, and its text codec.
#ifndef TAVRELO_INPUT_TRACK_H
#define TAVRELO_INPUT_TRACK_H

#include <QPoint>
#include <QSize>
#include <QString>

#include <vector>

// One frame's input as the race reads it: whether the steering is held and
// where (view pixels), and the size of the view the camera lays out.
struct Input_Frame
{
    bool held = false;
    QPoint pointer; // (0, 0) while not held: where a released finger was steers nothing
    QSize view;

    bool operator==(const Input_Frame& o) const
    {
        return held == o.held && pointer == o.pointer && view == o.view;
    }
};

class Input_Track
{
public:
    // A lap is kept for at most this many frames (three minutes, twice the
    // longest ghost, so that waiting at the start still leaves a whole lap);
    // a longer track stops growing and is not stored.
    static constexpr int Max_Frames = 10800;
    // Views and pointers beyond this many pixels are no screen's.
    static constexpr int Max_Pixels = 100000;
    // The longest text the decoder reads.
    static constexpr int Max_Text = 400000;

    struct Run
    {
        Input_Frame frame;
        int count;
    };

    // An empty track for a race whose camera was laid out for view at its reset.
    void Clear(const QSize& view);
    // One more frame; past Max_Frames the track is marked full and grows no further.
    void Append(Input_Frame frame);

    int Frame_Count() const { return m_frames; }

    // The text kept beside a lap's time and ghost: letters, digits and
    // ".:-", nothing a settings file or JSON quotes. Empty for a full track.
    QString Encode() const;
    // Reads a text someone else may have written. False, with the reason,
    // for anything Encode could not have made or that breaks a bound.
    bool Decode(const QString& text, QString& reason);

    QSize m_start_view;
    std::vector<Run> m_runs;

private:
    int m_frames = 0;
    bool m_full = false;
};

#endif
