#include "Sound_Analysis.h"

#include <algorithm>
#include <cmath>

namespace Sound_Analysis
{
double Tone_Strength(const std::vector<int16_t>& samples, int from, int count, double hertz, int rate)
{
    const double pi = 3.14159265358979323846;
    // A Hann window keeps strong neighbours from leaking into the frequency asked about.
    double re = 0.0;
    double im = 0.0;
    double weight = 0.0;
    const double step = 2.0 * pi * hertz / rate;
    for (int i = 0; i < count; ++i)
    {
        const double w = 0.5 - 0.5 * std::cos(2.0 * pi * i / std::max(count - 1, 1));
        const double x = samples[size_t(from + i)] * w;
        re += x * std::cos(step * i);
        im += x * std::sin(step * i);
        weight += w;
    }
    return 2.0 * std::sqrt(re * re + im * im) / std::max(weight, 1e-9);
}

double Dominant_Frequency(const std::vector<int16_t>& samples, int from, int count, double low, double high,
                          int rate)
{
    double best = low;
    double strongest = -1.0;
    for (double f = low; f <= high; f += 1.0)
    {
        const double s = Tone_Strength(samples, from, count, f, rate);
        if (s > strongest)
        {
            strongest = s;
            best = f;
        }
    }
    const double around = best;
    for (double f = around - 1.0; f <= around + 1.0; f += 0.1)
    {
        const double s = Tone_Strength(samples, from, count, f, rate);
        if (s > strongest)
        {
            strongest = s;
            best = f;
        }
    }
    return best;
}

double Rms(const std::vector<int16_t>& samples, int from, int count)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i)
        sum += double(samples[size_t(from + i)]) * samples[size_t(from + i)];
    return count > 0 ? std::sqrt(sum / count) : 0.0;
}

int Tone_Onset(const std::vector<int16_t>& samples, int from, double hertz, double threshold, int window,
               int rate)
{
    for (int at = std::max(from, 0); at + window <= int(samples.size()); at += std::max(window / 4, 1))
        if (Tone_Strength(samples, at, window, hertz, rate) > threshold)
            return at;
    return -1;
}
} // namespace Sound_Analysis
