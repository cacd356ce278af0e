#include "foundation/file_io.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
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
    for (std::uint64_t at = start; at < end;) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
        const std::span<std::uint8_t> block(buffer.data(), size);
        if (!from.readAt(at, block)) return false;
        out.write(block);
        at += size;
    }
    return true;
}

namespace {

// A name for the temporary file that no other writer in this or another
// process picks at the same moment.
std::filesystem::path temporaryNameFor(const std::filesystem::path& finalPath, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const auto pid = static_cast<unsigned long>(_getpid());
#else
    const auto pid = static_cast<unsigned long>(::getpid());
#endif
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    std::filesystem::path temp = finalPath;
    temp += ".tmp" + std::to_string(pid) + "-" + std::to_string(counter++) + "-" +
            std::to_string((ticks + attempt) % 100000);
    return temp;
}

}  // namespace

AtomicOutputFile::~AtomicOutputFile() { abandon(); }

bool AtomicOutputFile::open(const std::filesystem::path& finalPath) {
    abandon();
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path temp = temporaryNameFor(finalPath, attempt);
        // "x": fail rather than reuse a file that already has this name.
        FileHandle file = openFile(temp, "wbx");
        if (file) {
            file_ = std::move(file);
            finalPath_ = finalPath;
            tempPath_ = std::move(temp);
            failed_ = false;
            return true;
        }
        if (errno != EEXIST) break;
    }
    return false;
}

void AtomicOutputFile::write(std::span<const std::uint8_t> bytes) {
    if (!file_ || failed_ || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) failed_ = true;
}

void AtomicOutputFile::write(std::string_view text) {
    write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool AtomicOutputFile::commit() {
    if (!file_) return false;
    const bool flushed = std::fflush(file_.get()) == 0;
    const bool closed = std::fclose(file_.release()) == 0;
    if (failed_ || !flushed || !closed) {
        abandon();
        return false;
    }
    std::error_code error;
    std::filesystem::rename(tempPath_, finalPath_, error);
    if (error) {
        abandon();
        return false;
    }
    tempPath_.clear();
    return true;
}

void AtomicOutputFile::abandon() noexcept {
    file_.reset();
    if (!tempPath_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(tempPath_, ignored);
        tempPath_.clear();
    }
}

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace kdb2mid
