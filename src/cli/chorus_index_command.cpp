// `kdb2mid chorus-index`: CRS&TCK.IDX as text.
#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"

namespace kdb2mid {

Subcommand addChorusIndexCommand(CLI::App& app) {
    return addFolderExport(
        app, "chorus-index", help::kChorusIndex, help::kChorusIndexFooter, help::kChorusIndexOutput,
        writeChorusIndexText);
}

}  // namespace kdb2mid
