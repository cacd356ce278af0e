// `kdb2mid names`: the song-name list as UTF-16 text.
#include "cli/subcommand.hpp"
#include "convert/database_exports.hpp"

namespace kdb2mid {

Subcommand addNamesCommand(CLI::App& app) {
    return addFolderExport(
        app, "names", "Write the song-name list to Output.txt (UTF-16)",
        "Reads DBDIR/name.idx and DBDIR/name.tab; writes OUTDIR/Output.txt, UTF-16LE with a\n"
        "byte-order mark, one line per song: its name, a tab, its number. A song without a\n"
        "name is reported as \"Skip SONG\".\n",
        "Folder Output.txt is written into (default: current folder)", writeSongNameList);
}

}  // namespace kdb2mid
