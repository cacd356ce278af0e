// The exit statuses of every kdb2mid command.
#pragma once

namespace kdb2mid {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // after any failure line
inline constexpr int kExitUsage = 2;    // the arguments could not be understood

}  // namespace kdb2mid
