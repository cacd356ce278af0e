// Every failure and notice as the line the user reads. The libraries below
// return what went wrong as values; this is the one place that words them.
#pragma once

#include "format/record_error.hpp"

namespace kdb2mid {

// A short lower-case phrase for the message line, e.g. "record is shorter
// than its header".
const char* describe(RecordError error) noexcept;

}  // namespace kdb2mid
