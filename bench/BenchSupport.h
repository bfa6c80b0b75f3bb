// Timing and statistics shared by the benchmark programs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

inline double NowMicroseconds() {
    static const LARGE_INTEGER s_freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(s_freq.QuadPart);
}

// The value below which the share q (0 to 1) of the values lie, by nearest rank.
inline double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

// Something timed against its floor, round by round. This machine switches between timing
// regimes (an idle machine's Wine round trips cost several times a busy one's), so each round
// times both sides and its ratio is taken within the round.
struct CComparison {
    std::vector<double> subject, floor, ratio;
    int failed = 0; // rounds where a side could not be timed

    // Rounds of subject() and floor(), each returning its time or a negative value when it
    // failed; the floor goes first in every other round, so neither side profits from what
    // the other leaves warm.
    template <class Subject, class Floor>
    static CComparison Run(int rounds, Subject&& subjectTime, Floor&& floorTime) {
        CComparison c;
        for (int round = 0; round < rounds; ++round) {
            double s = 0;
            double f = 0;
            if (round % 2 == 0) {
                s = subjectTime();
                f = floorTime();
            } else {
                f = floorTime();
                s = subjectTime();
            }
            if (s <= 0 || f <= 0) {
                ++c.failed;
                continue;
            }
            c.subject.push_back(s);
            c.floor.push_back(f);
            c.ratio.push_back(s / f);
        }
        return c;
    }

    // One table row: the label, the median times, the median ratio and its p25 and p75.
    void Print(const char* label) const {
        std::printf("%-10s %10.1f %10.1f %8.2f %6.2f %6.2f", label, Quantile(subject, 0.5),
                    Quantile(floor, 0.5), Quantile(ratio, 0.5), Quantile(ratio, 0.25),
                    Quantile(ratio, 0.75));
        if (failed > 0) {
            std::printf("   (%d failed rounds left out)", failed);
        }
        std::printf("\n");
    }
};

// The head of the table that CComparison::Print fills.
inline void PrintComparisonHead(const char* label, const char* subject, const char* floor) {
    std::printf("%-10s %10s %10s %8s %6s %6s\n", label, subject, floor, "ratio", "p25", "p75");
}
