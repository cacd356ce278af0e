// `kdb2mid convert`: songs chosen by number, by range or all of them, from a
// database folder into an output folder, on several threads.
#pragma once

#include "convert/convert_run.hpp"

namespace kdb2mid {

// Runs the conversion; prints failure lines and the summary on standard
// output, the progress line on standard error when that is a terminal.
int runConvertCommand(const ConvertRequest& request);

}  // namespace kdb2mid
