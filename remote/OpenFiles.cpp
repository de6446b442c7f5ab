#include "remote/OpenFiles.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
int Clamped(unsigned long long limit)
{
    return int(std::min<unsigned long long>(limit, INT_MAX));
}
} // namespace

int RaiseOpenFileLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);   // refused: the old limit stays, and is reported
    }
#endif
    return OpenFileLimit();
}

int OpenFileLimit()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return Clamped(limit.rlim_cur);
#endif
    return INT_MAX;
}
