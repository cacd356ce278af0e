// The module's entry: the table of its functions (songbook/songbook_module.hpp).
#include "collation/title_order.hpp"
#include "songbook/module/book_pdf.hpp"
#include "songbook/songbook_module.hpp"

extern "C" __attribute__((visibility("default"))) const kdb2mid::SongbookModule*
kdb2mid_songbook_module() {
    static const kdb2mid::SongbookModule functions{kdb2mid::sortTitles, kdb2mid::renderBookPdf};
    return &functions;
}
