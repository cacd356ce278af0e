// The target of a request line ("/api/songs/50004?x=1", as the client sent
// it) read into what the router matches: the path's segments and the query's
// fields, percent-decoded. Whatever a client sends, the result is bounded
// (kMaxTargetBytes in, so no more out) and holds no control character, no
// "." or ".." segment and no "/" or "\" inside a segment: the names can be
// compared with the router's, and were one ever used as a file name, it
// could not climb out of a folder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdb2mid {

// Longer targets are refused whole (414). Every address the server answers
// is far shorter; a browser's limit is far longer.
inline constexpr std::size_t kMaxTargetBytes = 2048;

struct RequestTarget {
    std::vector<std::string> segments;  // "/" has none; "/a/b" has "a", "b"
    std::vector<std::pair<std::string, std::string>> query;  // in order; "a" alone has ""
};

enum class TargetRefusal : std::uint8_t {
    none,
    tooLong,      // over kMaxTargetBytes
    malformed,    // not "/" then a path (an absolute URL, "*", a bad %-escape, a byte
                  // outside printable ASCII)
    unsafePath,   // an empty, "." or ".." segment, or one that decodes to a
                  // control character, "/" or "\"
};

// Reads target; on refusal, why in refusal and the result is empty.
std::optional<RequestTarget> parseTarget(std::string_view target, TargetRefusal& refusal);

// Decodes %XX escapes (and "+" as a space when plusIsSpace, as forms send
// query fields); nothing when an escape is cut short or not hexadecimal.
std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace);

}  // namespace kdb2mid
