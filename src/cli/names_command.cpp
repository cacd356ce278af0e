// `kdb2mid names`: the song-name list as UTF-16 text.
#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"

namespace kdb2mid {

CommandRun addNamesCommand(CLI::App& command) {
    return addFolderExport(command, help::kNamesFooter, help::kNamesOutput, writeSongNameList);
}

}  // namespace kdb2mid
