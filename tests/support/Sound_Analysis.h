// Sound_Analysis: measures on 16-bit mono samples for the sound tests: pitch, strength, a tone's onset.
#ifndef TAVRELO_SOUND_ANALYSIS_H
#define TAVRELO_SOUND_ANALYSIS_H

#include <cstdint>
#include <vector>

namespace Sound_Analysis
{
// The strength of one frequency in samples [from, from + count), as an amplitude in sample units
// (a sine of amplitude A at that frequency measures about A).
double Tone_Strength(const std::vector<int16_t>& samples, int from, int count, double hertz, int rate);
// The frequency between low and high, to a tenth of a hertz, that is strongest in the span.
double Dominant_Frequency(const std::vector<int16_t>& samples, int from, int count, double low, double high,
                          int rate);
// Root mean square of the span, in sample units.
double Rms(const std::vector<int16_t>& samples, int from, int count);
// The first sample at or after from where a tone of hertz grows stronger than threshold, measured
// over windows of window samples moved a quarter window at a time; -1 if it never does.
int Tone_Onset(const std::vector<int16_t>& samples, int from, double hertz, double threshold, int window,
               int rate);
} // namespace Sound_Analysis

#endif
