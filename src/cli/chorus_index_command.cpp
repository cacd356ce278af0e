// `kdb2mid chorus-index`: CRS&TCK.IDX as text.
#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"

namespace kdb2mid {

Subcommand addChorusIndexCommand(CLI::App& app) {
    return addFolderExport(
        app, "chorus-index", "Write CRS&TCK.IDX as text to index.txt",
        "Reads DBDIR/CRS&TCK.IDX; writes OUTDIR/index.txt, one line per entry: its part\n"
        "number, where its recording starts and ends in CHORUS.DAT (in 2048-byte units),\n"
        "each followed by a space.\n",
        "Folder index.txt is written into (default: current folder)", writeChorusIndexText);
}

}  // namespace kdb2mid
