#pragma once

// Times a piece of work over several runs: its median and its best.

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

struct Figures {
    double median; // ms
    double min;    // ms
};

inline Figures measure(int repetitions, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front()};
}

} // namespace bench
