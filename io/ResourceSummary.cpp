#include "ResourceSummary.h"

#include <sys/resource.h>

#include <cstdio>

namespace talvo {

std::string ResourceSummary(std::chrono::steady_clock::time_point begin) {
    const double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    char line[160];
    std::snprintf(line, sizeof line, "wall %.1f s, CPU %.1f s, peak memory %.0f MB", wallSeconds, cpu,
                  usage.ru_maxrss / 1024.0);
    return line;
}

}  // namespace talvo
