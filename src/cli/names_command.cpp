// `kdb2mid names`: the song-name list as UTF-16 text.
#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"

namespace kdb2mid {

Subcommand addNamesCommand(CLI::App& app) {
    return addFolderExport(
        app, "names", help::kNames, help::kNamesFooter, help::kNamesOutput, writeSongNameList);
}

}  // namespace kdb2mid
