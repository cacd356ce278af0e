// songbookModule: the module loaded on first use (songbook_module.hpp).
#include "io/run_time_module.hpp"
#include "songbook/songbook_module.hpp"

#ifndef KDB2MID_MODULE_DIR
#define KDB2MID_MODULE_DIR "../lib/kdb2mid"
#endif

namespace kdb2mid {

const SongbookModule* songbookModule(std::string& failure) {
    static const LoadedModule loaded =
        loadRunTimeModule(kSongbookModuleFile, KDB2MID_MODULE_DIR, kSongbookModuleEntry);
    failure = loaded.failure;
    return static_cast<const SongbookModule*>(loaded.functions);
}

}  // namespace kdb2mid
