// `kdb2mid search` below the command line: the database's catalogue (through
// the search cache, searchCacheFolder()) searched for the words typed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "messages/message_sink.hpp"

namespace kdb2mid {

struct SearchRequest {
    std::vector<std::string> words;  // as typed, UTF-8
    std::filesystem::path databaseFolder;
    std::size_t limit = 0;  // at most this many lines; 0: all
};

// "<number>\t<name>" to out.line for every song whose name or titles hold
// each word as the start of one of theirs, best first. False without a
// match, or after a failure line (a database that does not open, a
// catalogue too large to hold) or when no word holds a letter or digit.
bool searchDatabase(const SearchRequest& request, const MessageSink& out);

}  // namespace kdb2mid
