// Modules loaded at run time: code that links large libraries (FFmpeg for
// videos, Pango, Cairo and ICU for song books) lives in a shared object of
// its own that the tool loads the first time it is needed, so that runs that
// do not need it neither pay for loading those libraries nor map their
// address space. A module exports one extern "C" function that returns the
// table of its functions; module and tool are built together, by one
// compiler, from the header that declares the table.
#pragma once

#include <filesystem>
#include <string>

namespace kdb2mid {

struct LoadedModule {
    const void* functions = nullptr;  // the table; nullptr when it did not load
    std::string failure;              // why not
};

// Loads fileName from the running executable's folder (the build tree), else
// from installedFolder relative to that folder, and calls its entry. The
// module stays loaded for the life of the process.
LoadedModule loadRunTimeModule(const char* fileName, const std::filesystem::path& installedFolder,
                               const char* entry);

}  // namespace kdb2mid
