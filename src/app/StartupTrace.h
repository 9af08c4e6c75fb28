#pragma once

// Marks on the way to the first frame, for the start-up benchmark: each names a step and the
// moment it ended on the system's monotonic clock, so the benchmark can say where the time went.
// Off unless the category "corvanta.startup" is turned on (QT_LOGGING_RULES).
namespace StartupTrace {

void mark(const char *step);

} // namespace StartupTrace
