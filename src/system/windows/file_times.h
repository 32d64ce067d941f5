// Windows counts file times in 100-nanosecond steps since 1601, UTC.
#pragma once
#include <stdint.h>
#include <windows.h>

enum : int64_t { SECONDS_1601_TO_1970 = 11644473600LL, FILE_TIME_STEPS_A_SECOND = 10000000 };

inline FILETIME FileTimeOfUnixTime(int64_t unixTime) {
  const uint64_t steps = (uint64_t)(unixTime + SECONDS_1601_TO_1970) * FILE_TIME_STEPS_A_SECOND;
  return FILETIME{(DWORD)steps, (DWORD)(steps >> 32)};
}

// The whole seconds, as Linux gives them: a time is rounded down.
inline int64_t UnixTimeOfFileTime(FILETIME time) {
  const int64_t steps = (int64_t)((uint64_t)time.dwHighDateTime << 32 | time.dwLowDateTime);
  return steps / FILE_TIME_STEPS_A_SECOND - SECONDS_1601_TO_1970;
}
