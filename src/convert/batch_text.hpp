// What a batch tells its user as it goes and when it ends.
#pragma once

#include <string>

#include "convert/batch.hpp"
#include "messages/batch_messages.hpp"

namespace kdb2mid {

// "12/500 songs, 3.4 MB/s, 1:02 left": the rate counts SONG.DAT bytes; the
// time left is estimated from it (from the songs done while no record bytes
// have been counted yet), "--:--" before anything is done. With an output
// that sets the pace (OutputRow::progressUnit), minutes made and times real
// time instead of the rate.
std::string formatProgress(const BatchProgress& progress, double elapsedSeconds);

// "3 converted, 0 skipped, 0 failed", and the interrupted, already done and
// without-lyrics counts where there are any.
std::string summaryLine(const BatchTotals& totals);

}  // namespace kdb2mid
