#include "StartupTrace.h"

#include <QLoggingCategory>

#include <chrono>

Q_LOGGING_CATEGORY(lcStartup, "corvanta.startup", QtWarningMsg)

namespace StartupTrace {

void mark(const char *step)
{
    if (!lcStartup().isInfoEnabled())
        return;
    // The clock the benchmark starts the process by (CLOCK_MONOTONIC), in microseconds.
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    qCInfo(lcStartup, "%s at %lld", step, static_cast<long long>(now.count()));
}

} // namespace StartupTrace
