// The simulated line's pace against 11 bits a byte: the best of five writes of
// 2000 bytes at 57600 baud, written whole and in the worker's 4096-byte way.
#include "link/LinePacer.h"

#include <algorithm>
#include <cstdio>

int main()
{
    for (const int baud : {57600, 9600}) {
        const int bytes = baud == 57600 ? 2000 : 400;
        const double ideal = bytes * 11.0 * 1000.0 / baud;
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            LinePacer pacer(baud);
            const auto start = LinePacer::Clock::now();
            for (int left = bytes; left > 0; left -= 100)
                pacer.write(std::min(left, 100));
            pacer.drain();
            const std::chrono::duration<double, std::milli> took = LinePacer::Clock::now() - start;
            best = std::min(best, took.count());
        }
        std::printf("%d bytes at %d baud: %.2f ms, line rate %.2f ms, %+.3f%%\n", bytes, baud, best, ideal,
                    (best - ideal) / ideal * 100.0);
    }
    return 0;
}
