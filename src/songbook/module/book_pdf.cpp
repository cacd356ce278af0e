#include "songbook/module/book_pdf.hpp"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>
#include <new>

namespace kdb2mid {

namespace {

// Sizes in PostScript points (1/72 inch), the PDF's own unit; Pango is set
// to 72 dots an inch so that its units are points too.
struct PageSize {
    double width;
    double height;
};
constexpr PageSize kA4{595.276, 841.890};
constexpr PageSize kLetter{612.0, 792.0};

constexpr double kMarginSide = 42;
constexpr double kHeadTop = 30;       // the running head's baseline area
constexpr double kBodyTop = 56;       // below the running head and its rule
constexpr double kMarginBottom = 52;  // room for the page number
constexpr int kColumns = 2;
constexpr double kGutter = 20;
constexpr double kNumberGap = 6;      // between the number and the title
constexpr double kLineGap = 1.5;      // between two songs
constexpr double kHeadingAbove = 6;   // before a letter heading
constexpr double kHeadingBelow = 2;
constexpr int kMaxLinesPerSong = 3;   // then an ellipsis

constexpr const char* kFontFamily = "DejaVu Sans";
constexpr double kEntrySize = 8.5;
constexpr double kDetailSize = 7;
constexpr double kHeadSize = 7.5;
constexpr double kLetterSize = 18;
constexpr double kSectionSize = 16;
constexpr double kCoverTitleSize = 30;
constexpr double kCoverCountSize = 14;
constexpr guint16 kDetailGrey = 0x5555;  // of 0xFFFF, the second title
constexpr double kHeadGrey = 0.35;
constexpr auto kPlainOutline = static_cast<cairo_pdf_outline_flags_t>(0);

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const noexcept { Free(p); }
};
void unrefObject(void* object) { g_object_unref(object); }
using Surface = std::unique_ptr<cairo_surface_t, Deleter<cairo_surface_t, cairo_surface_destroy>>;
using Cairo = std::unique_ptr<cairo_t, Deleter<cairo_t, cairo_destroy>>;
using Object = std::unique_ptr<void, Deleter<void, unrefObject>>;
using Font = std::unique_ptr<PangoFontDescription,
                             Deleter<PangoFontDescription, pango_font_description_free>>;
using Attributes = std::unique_ptr<PangoAttrList, Deleter<PangoAttrList, pango_attr_list_unref>>;

int pangoUnits(double points) { return static_cast<int>(points * PANGO_SCALE + 0.5); }
double points(int units) { return static_cast<double>(units) / PANGO_SCALE; }

Font font(double size, bool bold) {
    Font description(pango_font_description_new());
    pango_font_description_set_family(description.get(), kFontFamily);
    pango_font_description_set_absolute_size(description.get(), size * PANGO_SCALE);
    if (bold) pango_font_description_set_weight(description.get(), PANGO_WEIGHT_BOLD);
    return description;
}

// Cairo hands the PDF over piece by piece; it is kept in memory and written
// whole (complete or absent) by the caller.
cairo_status_t collect(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<BookPdf*>(closure);
    try {
        out->bytes.insert(out->bytes.end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        out->outOfMemory = true;
        return CAIRO_STATUS_WRITE_ERROR;
    }
}

class BookWriter {
public:
    BookWriter(cairo_t* cr, cairo_surface_t* surface, PangoContext* context, PageSize page)
        : cr_(cr), surface_(surface), page_(page),
          entry_(pango_layout_new(context)), plain_(pango_layout_new(context)) {
        columnWidth_ = (page.width - 2 * kMarginSide - (kColumns - 1) * kGutter) / kColumns;
        auto* entry = static_cast<PangoLayout*>(entry_.get());
        pango_layout_set_font_description(entry, entryFont_.get());
        pango_layout_set_width(entry, pangoUnits(columnWidth_));
        pango_layout_set_wrap(entry, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_ellipsize(entry, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(entry, -kMaxLinesPerSong);
    }

    void cover(const Book& book) {
        PangoLayout* layout = plainLayout(font(kCoverTitleSize, true), book.title,
                                          page_.width - 2 * kMarginSide);
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        int height = 0;
        pango_layout_get_size(layout, nullptr, &height);
        const double top = page_.height / 3;
        draw(layout, kMarginSide, top);
        layout = plainLayout(font(kCoverCountSize, false), book.songCount,
                             page_.width - 2 * kMarginSide);
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        draw(layout, kMarginSide, top + points(height) + 18);
        cairo_pdf_surface_add_outline(surface_, CAIRO_PDF_OUTLINE_ROOT, book.title.c_str(),
                                      "page=1", CAIRO_PDF_OUTLINE_FLAG_OPEN);
        cairo_show_page(cr_);
        pages_ = 1;
    }

    void section(const Book& book, const BookPart& part) {
        section_ = part.name.c_str();
        newPage(book.title);
        PangoLayout* layout = plainLayout(font(kSectionSize, true), section_, bodyWidth());
        const double height = points(layoutHeight(layout));
        draw(layout, kMarginSide, y_);
        const int outline = cairo_pdf_surface_add_outline(
            surface_, CAIRO_PDF_OUTLINE_ROOT, section_, destination().c_str(), kPlainOutline);
        y_ += height + 8;
        columnsTop_ = y_;
        setNumberWidth(book);
        for (const BookGroup& group : part.groups) {
            if (group.songs.empty()) continue;
            // A heading is not left alone at the foot of a column.
            const double headingHeight = kHeadingAbove + letterHeight(group.heading) + kHeadingBelow;
            const double first = songHeight(book.songs[group.songs.front()], part.by);
            if (y_ > columnsTop_ && y_ + headingHeight + first > bottom()) nextColumn(book.title);
            if (y_ > columnsTop_) y_ += kHeadingAbove;
            cairo_pdf_surface_add_outline(surface_, outline, group.heading.c_str(),
                                          destination().c_str(), kPlainOutline);
            PangoLayout* letter = plainLayout(font(kLetterSize, true), group.heading, columnWidth_);
            draw(letter, columnX(), y_);
            y_ += points(layoutHeight(letter)) + kHeadingBelow;
            for (const std::uint32_t song : group.songs) placeSong(book, book.songs[song], part.by);
        }
        finishPage();
    }

    int pages() const { return pages_; }

private:
    double bottom() const { return page_.height - kMarginBottom; }
    double bodyWidth() const { return page_.width - 2 * kMarginSide; }
    double columnX() const { return kMarginSide + column_ * (columnWidth_ + kGutter); }

    std::string destination() const {
        // Where a bookmark leads: this page, at y_ (PDF's y runs upwards,
        // Cairo's link attributes take Cairo's own coordinates).
        return "page=" + std::to_string(pages_) + " pos=[" + std::to_string(columnX()) + " " +
               std::to_string(std::max(0.0, y_ - 4)) + "]";
    }

    PangoLayout* plainLayout(const Font& description, const std::string& text, double width) {
        PangoLayout* layout = static_cast<PangoLayout*>(plain_.get());
        pango_layout_set_font_description(layout, description.get());
        pango_layout_set_attributes(layout, nullptr);
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        pango_layout_set_width(layout, pangoUnits(width));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout, -kMaxLinesPerSong);
        pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
        return layout;
    }

    static int layoutHeight(PangoLayout* layout) {
        int height = 0;
        pango_layout_get_size(layout, nullptr, &height);
        return height;
    }

    double letterHeight(const std::string& heading) {
        return points(layoutHeight(plainLayout(font(kLetterSize, true), heading, columnWidth_)));
    }

    void draw(PangoLayout* layout, double x, double y) {
        cairo_move_to(cr_, x, y);
        pango_cairo_show_layout(cr_, layout);
    }

    // The number column is as wide as the book's widest number; the song
    // layout's tab stop and hanging indent are set to it.
    void setNumberWidth(const Book& book) {
        std::int32_t widest = 0;
        for (const BookSong& song : book.songs) widest = std::max(widest, song.song);
        const std::string digits(std::to_string(widest).size(), '8');
        PangoLayout* layout = plainLayout(numberFont_, digits, columnWidth_);
        int width = 0;
        pango_layout_get_size(layout, &width, nullptr);
        const int numberWidth = std::min(width + pangoUnits(kNumberGap), pangoUnits(columnWidth_ / 3));
        PangoLayout* entry = static_cast<PangoLayout*>(entry_.get());
        PangoTabArray* tabs = pango_tab_array_new_with_positions(1, FALSE, PANGO_TAB_LEFT, numberWidth);
        pango_layout_set_tabs(entry, tabs);
        pango_tab_array_free(tabs);
        pango_layout_set_indent(entry, -numberWidth);
    }

    // The song's line: its number in bold, a tab to the column right of the
    // numbers, its text, then its detail smaller and grey; wrapped lines
    // hang under the text, not under the number. One layout, so that a PDF
    // reader reads number and title as one line.
    PangoLayout* songLayout(const BookSong& song, BookSection by) {
        PangoLayout* layout = static_cast<PangoLayout*>(entry_.get());
        const std::string& text = lineText(song, by);
        const std::string& detail = lineDetail(song, by);
        line_ = std::to_string(song.song);
        const auto numberEnd = static_cast<guint>(line_.size());
        line_ += '\t';
        line_ += text.empty() ? std::string_view("\u2014") : std::string_view(text);
        const auto detailStart = static_cast<guint>(line_.size());
        if (!detail.empty()) {
            line_ += "  ";
            line_ += detail;
        }
        Attributes attributes(pango_attr_list_new());
        PangoAttribute* bold = pango_attr_weight_new(PANGO_WEIGHT_BOLD);
        bold->end_index = numberEnd;
        pango_attr_list_insert(attributes.get(), bold);
        if (!detail.empty()) {
            PangoAttribute* size = pango_attr_size_new_absolute(pangoUnits(kDetailSize));
            size->start_index = detailStart;
            pango_attr_list_insert(attributes.get(), size);
            PangoAttribute* grey = pango_attr_foreground_new(kDetailGrey, kDetailGrey, kDetailGrey);
            grey->start_index = detailStart;
            pango_attr_list_insert(attributes.get(), grey);
        }
        pango_layout_set_attributes(layout, attributes.get());
        pango_layout_set_text(layout, line_.data(), static_cast<int>(line_.size()));
        return layout;
    }

    double songHeight(const BookSong& song, BookSection by) {
        return points(layoutHeight(songLayout(song, by)));
    }

    void placeSong(const Book& book, const BookSong& song, BookSection by) {
        PangoLayout* layout = songLayout(song, by);
        const double height = points(layoutHeight(layout));
        if (y_ > columnsTop_ && y_ + height > bottom()) nextColumn(book.title);
        draw(layout, columnX(), y_);
        y_ += height + kLineGap;
    }

    void nextColumn(const std::string& title) {
        if (column_ + 1 < kColumns) {
            ++column_;
            y_ = columnsTop_;
            return;
        }
        finishPage();
        newPage(title);
        columnsTop_ = y_;
    }

    void newPage(const std::string& title) {
        ++pages_;
        open_ = true;
        column_ = 0;
        y_ = kBodyTop;
        cairo_set_source_rgb(cr_, kHeadGrey, kHeadGrey, kHeadGrey);
        PangoLayout* head = plainLayout(font(kHeadSize, false), title, bodyWidth() / 2);
        pango_layout_set_height(head, -1);
        draw(head, kMarginSide, kHeadTop);
        head = plainLayout(font(kHeadSize, false), section_, bodyWidth() / 2);
        pango_layout_set_height(head, -1);
        pango_layout_set_alignment(head, PANGO_ALIGN_RIGHT);
        draw(head, kMarginSide + bodyWidth() / 2, kHeadTop);
        cairo_set_line_width(cr_, 0.5);
        cairo_move_to(cr_, kMarginSide, kHeadTop + 12);
        cairo_line_to(cr_, page_.width - kMarginSide, kHeadTop + 12);
        cairo_stroke(cr_);
        cairo_set_source_rgb(cr_, 0, 0, 0);
    }

    void finishPage() {
        if (!open_) return;
        cairo_set_source_rgb(cr_, kHeadGrey, kHeadGrey, kHeadGrey);
        PangoLayout* number = plainLayout(font(kHeadSize, false), std::to_string(pages_), bodyWidth());
        pango_layout_set_alignment(number, PANGO_ALIGN_CENTER);
        draw(number, kMarginSide, page_.height - kMarginBottom + 22);
        cairo_set_source_rgb(cr_, 0, 0, 0);
        cairo_show_page(cr_);
        open_ = false;
    }

    cairo_t* cr_;
    cairo_surface_t* surface_;
    PageSize page_;
    Object entry_;
    Object plain_;
    Font numberFont_ = font(kEntrySize, true);
    Font entryFont_ = font(kEntrySize, false);
    std::string line_;
    const char* section_ = "";
    double columnWidth_ = 0;
    double columnsTop_ = kBodyTop;
    double y_ = kBodyTop;
    int column_ = 0;
    int pages_ = 0;
    bool open_ = false;
};

}  // namespace

BookPdf renderBookPdf(const Book& book, Paper paper) noexcept {
    BookPdf out;
    try {
        const PageSize page = paper == Paper::letter ? kLetter : kA4;
        Surface surface(
            cairo_pdf_surface_create_for_stream(collect, &out, page.width, page.height));
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, book.title.c_str());
        // No creation date: cairo would write the clock's, in the local time
        // zone, and the same database would make a different file every
        // second. A date cairo cannot read (empty) leaves the entry out.
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATE_DATE, "");
        Cairo cr(cairo_create(surface.get()));
        Object fontMap(pango_cairo_font_map_new());
        Object context(pango_font_map_create_context(static_cast<PangoFontMap*>(fontMap.get())));
        auto* pango = static_cast<PangoContext*>(context.get());
        pango_cairo_context_set_resolution(pango, 72);
        // Glyph positions as the font designs them: hinting is for screens.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(pango, options);
        cairo_font_options_destroy(options);
        pango_cairo_update_context(cr.get(), pango);
        {
            BookWriter writer(cr.get(), surface.get(), pango, page);
            writer.cover(book);
            for (const BookPart& part : book.parts) writer.section(book, part);
            out.pages = writer.pages();
        }
        cairo_surface_finish(surface.get());
        const cairo_status_t status = cairo_surface_status(surface.get());
        if (status != CAIRO_STATUS_SUCCESS || out.outOfMemory) {
            if (!out.outOfMemory) out.failure = cairo_status_to_string(status);
            out.bytes.clear();
        }
    } catch (const std::bad_alloc&) {
        out = BookPdf{};
        out.outOfMemory = true;
    }
    return out;
}

}  // namespace kdb2mid
