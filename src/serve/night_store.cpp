#include "serve/night_store.hpp"

#include <cerrno>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "io/file_io.hpp"
#include "io/temporary_output.hpp"
#include "serve/night_file.hpp"

namespace kdb2mid {

namespace {

namespace fs = std::filesystem;

// Waits for a change at most this long before looking again: only the stop
// is waited for without a change, and stopStreams() wakes it at once.
constexpr std::chrono::seconds kIdleWait{1};

#ifdef _WIN32
int flushToDisk(int fd) { return ::_commit(fd); }
#else
int flushToDisk(int fd) { return ::fsync(fd); }
#endif

// Flushes the folder's entries, so that the rename itself survives a power
// cut; where a folder cannot be opened (Windows) the rename stands alone.
void flushFolder([[maybe_unused]] const fs::path& folder) {
#ifndef _WIN32
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#endif
}

}  // namespace

std::optional<fs::path> defaultNightFile(const char* xdgStateHome, const char* home) {
    if (xdgStateHome != nullptr && fs::path(xdgStateHome).is_absolute()) {
        return fs::path(xdgStateHome) / "kdb2mid" / "night.json";
    }
    if (home != nullptr && fs::path(home).is_absolute()) {
        return fs::path(home) / ".local" / "state" / "kdb2mid" / "night.json";
    }
    return std::nullopt;
}

NightLoad loadNightFile(const fs::path& file) {
    NightLoad load;
    const FileHandle handle = openFile(file, "rb");
    if (!handle) {
        if (errno != ENOENT) {
            load.outcome = NightLoad::Outcome::unreadable;
            load.error = errno;
        }
        return load;
    }
    // One byte past the limit tells a file over it from one just at it.
    std::vector<std::uint8_t> bytes(kMaxNightFileBytes + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), handle.get());
    if (std::ferror(handle.get())) {
        load.outcome = NightLoad::Outcome::unreadable;
        load.error = errno != 0 ? errno : EIO;
        return load;
    }
    bytes.resize(got);
    if (std::optional<NightState> night = readNightFile(bytes)) {
        load.outcome = NightLoad::Outcome::loaded;
        load.night = std::move(*night);
        return load;
    }
    load.keptAs = file;
    load.keptAs += ".damaged";
    std::error_code error;
    fs::rename(file, load.keptAs, error);
    if (error) {
        load.outcome = NightLoad::Outcome::damagedNotKept;
        load.error = error.value();
    } else {
        load.outcome = NightLoad::Outcome::damagedKept;
    }
    return load;
}

int writeNightFile(const fs::path& file, std::string_view text) {
    if (const int error = createFolder(file.parent_path()); error != 0) return error;
    const fs::path temporary = temporaryOutputName(file);
#ifdef _WIN32
    const int fd = ::_wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0600);
#else
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
#endif
    if (fd < 0) return errno;
    int error = 0;
    for (std::size_t at = 0; at < text.size() && error == 0;) {
        const auto wrote = ::write(fd, text.data() + at, static_cast<unsigned>(
                                                             std::min<std::size_t>(text.size() - at, 1 << 20)));
        if (wrote < 0 && errno != EINTR) error = errno;
        if (wrote > 0) at += static_cast<std::size_t>(wrote);
    }
    if (error == 0 && flushToDisk(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    std::error_code renamed;
    if (error == 0) {
        fs::rename(temporary, file, renamed);
        error = renamed.value();
    }
    if (error != 0) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return error;
    }
    flushFolder(file.parent_path());
    return 0;
}

NightKeeper::NightKeeper(ServeApi& api, fs::path file, std::function<void(int)> failed)
    : api_(api), file_(std::move(file)), failed_(std::move(failed)) {
    api_.nightFile(written_);  // the night as read: on disk already
    thread_ = std::thread([this] { keep(); });
}

NightKeeper::~NightKeeper() {
    api_.stopStreams();
    thread_.join();
    write();
}

void NightKeeper::keep() {
    while (const std::optional<std::uint64_t> version = api_.waitForChange(written_, kIdleWait)) {
        if (*version == written_) continue;
        // A burst of changes (a host reordering, a song ending as another is
        // queued) goes out in one write.
        std::this_thread::sleep_for(kNightWriteDelay);
        // A disk that refuses (full, gone read-only) is tried again a
        // second later, not at once.
        if (!write()) std::this_thread::sleep_for(kIdleWait);
    }
}

bool NightKeeper::write() {
    std::uint64_t version = 0;
    const std::string text = api_.nightFile(version);
    if (version == written_) return true;
    if (const int error = writeNightFile(file_, text); error != 0) {
        if (!reported_ && failed_) failed_(error);
        reported_ = true;
        return false;
    }
    written_ = version;
    return true;
}

}  // namespace kdb2mid
