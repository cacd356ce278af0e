#include "io/run_time_module.hpp"

#include <system_error>

#ifdef _WIN32
namespace kdb2mid {

LoadedModule loadRunTimeModule(const char* fileName, const std::filesystem::path&, const char*) {
    return {nullptr, std::string(fileName) + " cannot be loaded on this system"};
}

}  // namespace kdb2mid
#else
#include <dlfcn.h>

namespace kdb2mid {

namespace {

// The folder of the running executable.
std::filesystem::path executableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

}  // namespace

LoadedModule loadRunTimeModule(const char* fileName, const std::filesystem::path& installedFolder,
                               const char* entry) {
    const std::filesystem::path folder = executableFolder();
    LoadedModule loaded;
    for (const std::filesystem::path& path : {folder / fileName, folder / installedFolder / fileName}) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) continue;
        // Kept for the life of the process: threads may be using it until the end.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            loaded.failure = why != nullptr ? why : path.string();
            return loaded;
        }
        using Entry = const void* (*)();
        const auto function = reinterpret_cast<Entry>(::dlsym(handle, entry));
        if (function != nullptr) loaded.functions = function();
        if (loaded.functions == nullptr) loaded.failure = path.string() + ": not kdb2mid's module";
        return loaded;
    }
    loaded.failure = std::string(fileName) + " is not installed beside kdb2mid";
    return loaded;
}

}  // namespace kdb2mid
#endif
