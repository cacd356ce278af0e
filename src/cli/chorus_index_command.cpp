// `kdb2mid chorus-index`: CRS&TCK.IDX as text.
#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"

namespace kdb2mid {

CommandRun addChorusIndexCommand(CLI::App& command) {
    return addFolderExport(command, help::kChorusIndexFooter, help::kChorusIndexOutput,
                           writeChorusIndexText);
}

}  // namespace kdb2mid
