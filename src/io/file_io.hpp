// File access at the program's edge: positioned reads from the database files
// and output files that appear complete or not at all.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "format/byte_sink.hpp"

namespace kdb2mid {

// Closes a FILE* when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens with fopen semantics; the path may hold any characters the platform's
// file names allow.
FileHandle openFile(const std::filesystem::path& path, const char* mode);

// A read-only file read by offset. Reads from several threads at once are
// safe: they never share a file position.
class RandomAccessFile {
public:
    RandomAccessFile() = default;
    RandomAccessFile(RandomAccessFile&&) noexcept;
    RandomAccessFile& operator=(RandomAccessFile&&) noexcept;
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;
    ~RandomAccessFile();

    // Opens path for reading; false if it does not open or is not a regular
    // file. A FIFO or a device is refused without blocking: the database is
    // read by offset and a special file could wait forever for a writer.
    bool open(const std::filesystem::path& path);
    bool isOpen() const noexcept;
    // The last open() found something other than a regular file at the path.
    bool notRegularFile() const noexcept { return notRegular_; }
    std::uint64_t size() const noexcept { return size_; }

    // Fills dest from offset on; false unless every byte could be read.
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> dest) const;

private:
#ifdef _WIN32
    FileHandle file_;
    mutable std::unique_ptr<std::mutex> lock_;
#else
    int fd_ = -1;
#endif
    std::uint64_t size_ = 0;
    bool notRegular_ = false;
};

// Copies bytes [start, end) of from to out through buffer, in blocks of at
// most 1 MiB, so copying a large range costs no more memory than a small one.
// False if the range could not be read whole; the caller has checked it
// against from.size(). Stops early once the run is interrupted
// (io/interruption.hpp); an AtomicOutputFile then refuses to commit.
bool copyRange(const RandomAccessFile& from, std::uint64_t start, std::uint64_t end,
               ByteSink& out, std::vector<std::uint8_t>& buffer);

// Why an output file did not come to be, and the system's reason.
struct OutputFailure {
    enum class Step : std::uint8_t {
        none,
        open,   // the file could not be created
        write,  // a write, the flush or the close failed (no space left, ...)
        place,  // the finished file could not take its name: something that
                // cannot be replaced has it (a folder), or the folder refuses it
    };
    Step step = Step::none;
    int error = 0;  // errno of the failing call; 0 when there is none
};

// An output file written under a temporary name in the same directory and
// renamed into place by commit(). Until then any existing file of the final
// name is untouched; if commit() is never reached the temporary file is removed.
// Where the system offers files without a name (Linux O_TMPFILE), the file is
// written unnamed and linked under its final name by commit(): one directory
// entry instead of a temporary one plus a rename, and nothing left behind
// even if the program is killed. Elsewhere the temporary file is named
// "<final name>.tmp-<host>-<process id>-<n>-<n>", so that a later run can
// tell the left-overs of a killed run from another live run's, on this
// machine or another sharing the folder (removeStaleTemporaries).
// Once the run is interrupted (io/interruption.hpp), writes and commit() fail
// and the temporary file is removed.
class AtomicOutputFile final : public ByteSink {
public:
    AtomicOutputFile() = default;
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
    ~AtomicOutputFile() override;

    // Creates the temporary file next to finalPath; false if it cannot be created.
    bool open(const std::filesystem::path& finalPath);
    void write(std::span<const std::uint8_t> bytes) override;
    void write(std::string_view text);
    // Moves where the next write goes, from the start of the file: audio
    // encoders go back to fill in sizes once they know them. False if it
    // cannot (the failure is then the file's).
    bool seek(std::uint64_t offset);
    // Flushes, closes and renames into place; false (and nothing left behind)
    // if any write, the close or the rename failed.
    bool commit();
    // Removes the temporary file; the final name is left as it was.
    void abandon() noexcept;
    // What made open() or commit() fail: the first failure since open().
    const OutputFailure& failure() const noexcept { return failure_; }

private:
    bool openUnnamed(const std::filesystem::path& finalPath);
    bool commitUnnamed();
    bool copyIntoPlace(int fd);
    bool failed() const noexcept { return failure_.step != OutputFailure::Step::none; }
    void fail(OutputFailure::Step step) noexcept;  // with errno as the reason
    void fail(OutputFailure::Step step, int error) noexcept;

    // Declared before file_ so that it outlives the stream that uses it.
    std::unique_ptr<char[]> buffer_;
    FileHandle file_;
    std::filesystem::path finalPath_;
    std::filesystem::path tempPath_;
    bool unnamed_ = false;  // file_ has no name yet (O_TMPFILE)
    OutputFailure failure_;
};

// Creates folder, and the folders above it, where missing. 0 once it is a
// folder (an empty path is the current one), else the system's error number.
int createFolder(const std::filesystem::path& folder);

// This machine's name as temporary file names carry it: letters, digits and
// "-" kept, anything else "_" (so it holds no "." and no ".tmp"), a long name
// cut and ended by a hash of the whole so that two long names stay apart.
// Empty when the system does not say.
const std::string& hostTag();

// Removes from folder the temporary files of outputs that a killed run on
// this machine left behind: names "<name>.tmp-<host>-<pid>-<n>-<n>" of this
// host whose process no longer exists. Another live run's temporaries, every
// temporary of another machine (its processes cannot be seen from here) and
// every other file are left alone.
// Returns how many were removed.
std::size_t removeStaleTemporaries(const std::filesystem::path& folder);

// The name to show the user for an output path: as given, in the platform's
// own form, converted to UTF-8.
std::string displayName(const std::filesystem::path& path);

}  // namespace kdb2mid
