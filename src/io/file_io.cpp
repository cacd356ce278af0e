#include "io/file_io.hpp"
#include "io/temporary_output.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "io/interruption.hpp"

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kdb2mid {

FileHandle openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FileHandle(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

RandomAccessFile::RandomAccessFile(RandomAccessFile&& other) noexcept { *this = std::move(other); }

RandomAccessFile& RandomAccessFile::operator=(RandomAccessFile&& other) noexcept {
    if (this != &other) {
#ifdef _WIN32
        file_ = std::move(other.file_);
        lock_ = std::move(other.lock_);
#else
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
#endif
        size_ = other.size_;
        other.size_ = 0;
        notRegular_ = other.notRegular_;
    }
    return *this;
}

RandomAccessFile::~RandomAccessFile() {
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
}

bool RandomAccessFile::isOpen() const noexcept {
#ifdef _WIN32
    return file_ != nullptr;
#else
    return fd_ >= 0;
#endif
}

#ifdef _WIN32

bool RandomAccessFile::open(const std::filesystem::path& path) {
    FileHandle file = openFile(path, "rb");
    if (!file) return false;
    if (_fseeki64(file.get(), 0, SEEK_END) != 0) return false;
    const long long end = _ftelli64(file.get());
    if (end < 0) return false;
    file_ = std::move(file);
    lock_ = std::make_unique<std::mutex>();
    size_ = static_cast<std::uint64_t>(end);
    return true;
}

bool RandomAccessFile::readAt(std::uint64_t offset, std::span<std::uint8_t> dest) const {
    if (!file_ || offset > size_ || dest.size() > size_ - offset) return false;
    if (dest.empty()) return true;
    std::lock_guard<std::mutex> guard(*lock_);
    if (_fseeki64(file_.get(), static_cast<long long>(offset), SEEK_SET) != 0) return false;
    return std::fread(dest.data(), 1, dest.size(), file_.get()) == dest.size();
}

#else

bool RandomAccessFile::open(const std::filesystem::path& path) {
    notRegular_ = false;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer that never comes. A regular file ignores it; it is cleared below
    // all the same, so that no read can come back short for want of data.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        notRegular_ = known;
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool RandomAccessFile::readAt(std::uint64_t offset, std::span<std::uint8_t> dest) const {
    if (fd_ < 0 || offset > size_ || dest.size() > size_ - offset) return false;
    std::size_t done = 0;
    while (done < dest.size()) {
        const ssize_t got = ::pread(fd_, dest.data() + done, dest.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

#endif

bool copyRange(const RandomAccessFile& from, std::uint64_t start, std::uint64_t end,
               ByteSink& out, std::vector<std::uint8_t>& buffer) {
    constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
    if (end > start && buffer.size() < kBlock) {
        buffer.resize(static_cast<std::size_t>(std::min(kBlock, end - start)));
    }
    for (std::uint64_t at = start; at < end && !interrupted();) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
        const std::span<std::uint8_t> block(buffer.data(), size);
        if (!from.readAt(at, block)) return false;
        out.write(block);
        at += size;
    }
    return true;
}

namespace {

// Output is buffered in blocks of this size: a whole MIDI file of a large
// song fits, so it reaches the system in one write instead of one per 4 KB.
constexpr std::size_t kOutputBufferSize = std::size_t{256} << 10;

unsigned long processId() {
#ifdef _WIN32
    static const auto pid = static_cast<unsigned long>(_getpid());
#else
    static const auto pid = static_cast<unsigned long>(::getpid());
#endif
    return pid;
}

// Longest host name a temporary file's name carries: file names stop at 255
// bytes, a final name may take 216 of them (a stem of kMaxFileStemBytes and
// "_<part>.mp3") and ".tmp-" with the numbers some 24 more.
constexpr std::size_t kMaxHostTag = 15;

}  // namespace

const std::string& hostTag() {
    static const std::string cached = [] {
        std::string name;
#ifdef _WIN32
        if (const char* computer = std::getenv("COMPUTERNAME")) name = computer;
#else
        char buffer[256] = {};
        if (::gethostname(buffer, sizeof buffer - 1) == 0) name = buffer;
#endif
        std::string tag;
        for (const char c : name) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '-';
            tag += kept ? c : '_';
        }
        if (tag.size() > kMaxHostTag) {
            std::uint32_t hash = 2166136261U;  // FNV-1a
            for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
            static constexpr char kHex[] = "0123456789abcdef";
            tag.resize(kMaxHostTag - 9);
            tag += '~';
            for (int shift = 28; shift >= 0; shift -= 4) tag += kHex[(hash >> shift) & 0xF];
        }
        return tag;
    }();
    return cached;
}

namespace {

// Test hook: KDB2MID_NO_UNNAMED_TEMP=1 in the environment makes outputs use
// named temporary files even where the system offers unnamed ones, as on the
// FAT, exFAT and network file systems karaoke collections often live on.
// Read once, at the first output.
[[maybe_unused]] bool unnamedFilesAllowed() {
    static const bool allowed = [] {
        const char* value = std::getenv("KDB2MID_NO_UNNAMED_TEMP");
        return value == nullptr || std::string_view(value) != "1";
    }();
    return allowed;
}

// A name for the temporary file that no other writer in this or another
// process, on this or another machine, picks at the same moment:
// "<final name>.tmp-<host>-<pid>-<n>-<n>". The host and process id in it tell
// a later run whether the writer is still alive (removeStaleTemporaries).
std::filesystem::path temporaryNameFor(const std::filesystem::path& finalPath, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned long pid = processId();
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string& host = hostTag();
    std::filesystem::path temp = finalPath;
    temp += ".tmp-" + (host.empty() ? std::string("_") : host) + "-" + std::to_string(pid) + "-" +
            std::to_string(counter++) + "-" + std::to_string((ticks + attempt) % 100000);
    return temp;
}

}  // namespace

std::filesystem::path temporaryOutputName(const std::filesystem::path& finalPath) {
    return temporaryNameFor(finalPath, 0);
}

AtomicOutputFile::~AtomicOutputFile() { abandon(); }

void AtomicOutputFile::fail(OutputFailure::Step step) noexcept { fail(step, errno); }

void AtomicOutputFile::fail(OutputFailure::Step step, int error) noexcept {
    // The first failure is the one to report; later ones follow from it.
    if (failure_.step == OutputFailure::Step::none) failure_ = {step, error};
}

#if defined(__linux__) && defined(O_TMPFILE)

bool AtomicOutputFile::openUnnamed(const std::filesystem::path& finalPath) {
    // An unnamed file is given its name through /proc/self/fd; without /proc
    // the named temporary file is used instead.
    static const bool canLink = ::access("/proc/self/fd", X_OK) == 0;
    if (!canLink || !unnamedFilesAllowed()) return false;
    const std::filesystem::path folder =
        finalPath.has_parent_path() ? finalPath.parent_path() : std::filesystem::path(".");
    // Readable too, for the rare file system that will not link it (commit copies it then).
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) return false;  // e.g. a file system without unnamed files
    FileHandle file(::fdopen(fd, "wb"));
    if (!file) {
        ::close(fd);
        return false;
    }
    std::setvbuf(file.get(), buffer_.get(), _IOFBF, kOutputBufferSize);
    file_ = std::move(file);
    finalPath_ = finalPath;
    unnamed_ = true;
    return true;
}

bool AtomicOutputFile::commitUnnamed() {
    unnamed_ = false;
    if (std::fflush(file_.get()) != 0) fail(OutputFailure::Step::write);
    // A second descriptor keeps the file alive past fclose(), which must
    // succeed before the file gets its name.
    const int fd = failed() ? -1 : ::dup(::fileno(file_.get()));
    if (fd < 0) fail(OutputFailure::Step::write);
    if (std::fclose(file_.release()) != 0) fail(OutputFailure::Step::write);
    if (fd < 0) return false;
    bool named = false;
    if (!failed()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        auto linkAs = [&](const std::filesystem::path& name) {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        };
        int error = linkAs(finalPath_);
        if (error == EEXIST) {
            // Name the file beside the existing one, then rename it over
            // that, which replaces it in one step.
            for (unsigned attempt = 0; error == EEXIST && attempt < 16; ++attempt) {
                const std::filesystem::path temp = temporaryNameFor(finalPath_, attempt);
                error = linkAs(temp);
                if (error == 0 && ::rename(temp.c_str(), finalPath_.c_str()) != 0) {
                    error = errno;
                    ::unlink(temp.c_str());
                }
            }
            named = error == 0;
            if (!named) fail(OutputFailure::Step::place, error);
        } else if (error != 0) {
            // The file system made the file but will not link it: copy it.
            named = copyIntoPlace(fd);
        } else {
            named = true;
        }
    }
    ::close(fd);
    return named;
}

bool AtomicOutputFile::copyIntoPlace(int fd) {
    FileHandle copy;
    for (unsigned attempt = 0; attempt < 16 && !copy; ++attempt) {
        tempPath_ = temporaryNameFor(finalPath_, attempt);
        copy = openFile(tempPath_, "wbx");
        if (!copy && errno != EEXIST) break;
    }
    if (!copy) {
        fail(OutputFailure::Step::place);
        tempPath_.clear();
        return false;
    }
    bool ok = true;
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer_.get(), kOutputBufferSize, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        const auto size = static_cast<std::size_t>(got);
        if (std::fwrite(buffer_.get(), 1, size, copy.get()) != size) {
            ok = false;
            break;
        }
        at += got;
    }
    if (!ok) fail(OutputFailure::Step::write);
    ok = std::fflush(copy.get()) == 0 && ok;
    ok = std::fclose(copy.release()) == 0 && ok;
    if (!ok) fail(OutputFailure::Step::write);
    std::error_code error;
    if (ok) std::filesystem::rename(tempPath_, finalPath_, error);
    if (error) fail(OutputFailure::Step::place, error.value());
    if (!ok || error) {
        abandon();
        return false;
    }
    tempPath_.clear();
    return true;
}

#else

bool AtomicOutputFile::openUnnamed(const std::filesystem::path&) { return false; }
bool AtomicOutputFile::commitUnnamed() { return false; }
bool AtomicOutputFile::copyIntoPlace(int) { return false; }

#endif

bool AtomicOutputFile::open(const std::filesystem::path& finalPath) {
    abandon();
    failure_ = {};
    // Before the file exists, so that running out of memory leaves nothing behind.
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kOutputBufferSize);
    if (openUnnamed(finalPath)) return true;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path temp = temporaryNameFor(finalPath, attempt);
        // "x": fail rather than reuse a file that already has this name.
        FileHandle file = openFile(temp, "wbx");
        if (file) {
            // Without the larger buffer the stream keeps its own; only speed differs.
            std::setvbuf(file.get(), buffer_.get(), _IOFBF, kOutputBufferSize);
            file_ = std::move(file);
            finalPath_ = finalPath;
            tempPath_ = std::move(temp);
            return true;
        }
        if (errno != EEXIST) break;
    }
    fail(OutputFailure::Step::open);
    return false;
}

void AtomicOutputFile::write(std::span<const std::uint8_t> bytes) {
    if (!file_ || failed() || bytes.empty()) return;
    if (interrupted()) {
        fail(OutputFailure::Step::write, EINTR);
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
        fail(OutputFailure::Step::write);
    }
}

bool AtomicOutputFile::seek(std::uint64_t offset) {
    if (!file_ || failed()) return false;
#ifdef _WIN32
    const bool moved = offset <= INT64_MAX &&
                       ::_fseeki64(file_.get(), static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    const bool moved = offset <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) &&
                       ::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    if (!moved) fail(OutputFailure::Step::write);
    return moved;
}

void AtomicOutputFile::write(std::string_view text) {
    write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool AtomicOutputFile::commit() {
    if (!file_) {
        fail(OutputFailure::Step::open, 0);
        return false;
    }
    // An interrupted run may have stopped copying part way: nothing of it
    // takes a final name.
    if (interrupted()) fail(OutputFailure::Step::write, EINTR);
    if (failed()) {
        abandon();
        return false;
    }
    if (unnamed_) return commitUnnamed();
    if (std::fflush(file_.get()) != 0) fail(OutputFailure::Step::write);
    if (std::fclose(file_.release()) != 0) fail(OutputFailure::Step::write);
    if (failed()) {
        abandon();
        return false;
    }
    std::error_code error;
    std::filesystem::rename(tempPath_, finalPath_, error);
    if (error) {
        fail(OutputFailure::Step::place, error.value());
        abandon();
        return false;
    }
    tempPath_.clear();
    return true;
}

void AtomicOutputFile::abandon() noexcept {
    // An unnamed file disappears with its last descriptor.
    file_.reset();
    unnamed_ = false;
    if (!tempPath_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(tempPath_, ignored);
        tempPath_.clear();
    }
}

namespace {

// Who wrote a temporary file of ours: "<name>.tmp-<host>-<pid>-<n>-<n>".
struct TemporaryOwner {
    std::string_view host;
    unsigned long pid = 0;  // 0: the name is not one of ours
};

[[maybe_unused]] TemporaryOwner temporaryOwner(std::string_view name) {
    const std::size_t mark = name.rfind(".tmp-");
    if (mark == std::string_view::npos || mark == 0) return {};
    std::string_view rest = name.substr(mark + 5);
    // The three numbers, read from the end: the host name may hold "-".
    unsigned long numbers[3] = {0, 0, 0};
    for (int i = 2; i >= 0; --i) {
        std::size_t digits = 0;
        while (digits < rest.size() && rest[rest.size() - 1 - digits] >= '0' &&
               rest[rest.size() - 1 - digits] <= '9') {
            ++digits;
        }
        if (digits == 0 || digits > 9) return {};
        for (const char c : rest.substr(rest.size() - digits)) {
            numbers[i] = numbers[i] * 10 + static_cast<unsigned>(c - '0');
        }
        rest.remove_suffix(digits);
        if (rest.empty() || rest.back() != '-') return {};
        rest.remove_suffix(1);
    }
    if (rest.empty()) return {};
    return {rest, numbers[0]};
}

}  // namespace

std::size_t removeStaleTemporaries(const std::filesystem::path& folder) {
#ifdef _WIN32
    (void)folder;
    return 0;
#else
    std::size_t removed = 0;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder.empty() ? "." : folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::filesystem::directory_entry& entry = *entries;
        const std::string name = entry.path().filename().native();
        const TemporaryOwner owner = temporaryOwner(name);
        // Another machine's processes cannot be asked after: its temporaries
        // stay, dead or alive, as do names of no known machine.
        if (owner.pid == 0 || owner.pid == processId() || hostTag().empty() ||
            owner.host != hostTag()) {
            continue;
        }
        const unsigned long pid = owner.pid;
        std::error_code kindError;
        if (!entry.is_regular_file(kindError) || entry.is_symlink(kindError)) continue;
        // Only a process that is known to be gone: a live one, or one this
        // user may not signal, keeps its files.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code removeError;
        if (std::filesystem::remove(entry.path(), removeError)) ++removed;
    }
    return removed;
#endif
}

int createFolder(const std::filesystem::path& folder) {
    if (folder.empty()) return 0;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::error_code kindError;
    if (std::filesystem::is_directory(folder, kindError)) return 0;
    // Something else has the name, or a folder above is a file.
    return error ? error.value() : ENOTDIR;
}

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace kdb2mid
