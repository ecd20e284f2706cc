// Timing shared by the native benchmarks.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

inline double elapsedMs(const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The event passes that finish a user's action on screen: the action's own
// events, an item view's delayed layout (a zero timer) and the repaint that
// the layout asks for each come one pass after the other.
inline void settle()
{
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
}

// Each contender's times over the rounds, sorted. The contenders take turns
// within each round so that drift in the machine's speed hits them alike.
inline std::vector<std::vector<double>> takeTurns(const std::vector<std::function<double()>> &contenders,
                                                  int rounds)
{
    std::vector<std::vector<double>> samples(contenders.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i)
            samples[i].push_back(contenders[i]());
    }
    for (auto &each : samples)
        std::sort(each.begin(), each.end());
    return samples;
}

// Of sorted samples: the least, as other work on the machine only ever adds time.
inline double best(const std::vector<double> &samples)
{
    return samples.front();
}

// Of sorted samples: the middle one.
inline double median(const std::vector<double> &samples)
{
    return samples[samples.size() / 2];
}

} // namespace bench
