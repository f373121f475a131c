#pragma once

namespace zq {

// For the crash tests: when the environment variable ZQ_CRASH_AT names the step, the process
// kills itself there at once with SIGKILL, leaving files and the database as a crash would.
void crashPoint(const char* step);

} // namespace zq
