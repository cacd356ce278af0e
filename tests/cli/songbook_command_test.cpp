// `kdb2mid songbook` and `list --sort title` as users run them: exit status,
// the lines they print and the book's file, complete or absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

namespace fs = std::filesystem;
using test::runTool;

std::vector<std::string> withSample(std::vector<std::string> args) {
    args.insert(args.begin(), "songbook");
    args.insert(args.end(), {"-C", test::sampleDatabaseDir().string()});
    return args;
}

TEST(SongbookCommand, RefusesWhatItCannotMakeAndWritesNothing) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // a part of standard error
    };
    const Case cases[] = {
        {withSample({"-o", "book.txt"}), 2, "end it in .pdf or .html"},
        {withSample({"-o", "book"}), 2, "or give --format pdf|html"},
        {withSample({"-o", "book.pdf", "--by", "title,album"}), 2, "title, artist and number"},
        {withSample({"-o", "book.pdf", "--by", "title,title"}), 2, "title, artist and number"},
        {withSample({"-o", "book.pdf", "--paper", "a5"}), 2, "a5"},
        {withSample({"-o", "book.pdf", "--format", "epub"}), 2, "epub"},
        {withSample({}), 2, "--output"},
        {{"songbook", "-C", "missing", "-o", "book.pdf"}, 1, "Cannot open missing/SONG.IDX"},
        {withSample({"-o", "no-such-folder/book.pdf"}), 1, "Cannot open file no-such-folder/book.pdf"},
    };
    for (const Case& c : cases) {
        const test::TempDir dir;
        const test::RunResult run = runTool(dir.path(), c.args);
        SCOPED_TRACE(c.args[2]);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(dir.files().empty());
    }
}

TEST(SongbookCommand, FormatFromTheEndingOrTheOption) {
    const test::TempDir dir;
    const auto head = [&](const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::string text(15, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        return text;
    };
    EXPECT_EQ(runTool(dir.path(), withSample({"-o", "Book.PDF"})).exitCode, 0);
    EXPECT_EQ(runTool(dir.path(), withSample({"-o", "book.txt", "--format", "html"})).exitCode, 0);
    EXPECT_EQ(runTool(dir.path(), withSample({"-o", "book.htm", "--format", "pdf"})).exitCode, 0);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"Book.PDF", "book.htm", "book.txt"}));
    EXPECT_EQ(head("Book.PDF").substr(0, 5), "%PDF-");
    EXPECT_EQ(head("book.txt"), "<!DOCTYPE html>");
    EXPECT_EQ(head("book.htm").substr(0, 5), "%PDF-");
}

TEST(SongbookCommand, ListSortsByTitleInVietnameseOrder) {
    const test::TempDir dir;
    const test::RunResult run =
        runTool(dir.path(), {"list", "--sort", "title", "-C", test::sampleDatabaseDir().string()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "50005\tBÈO DẠT MÂY TRÔI\n50003\tFRERE JACQUES\n50002\tODE TO JOY\n"
              "50004\tTRỐNG CƠM\n50001\tTWINKLE TWINKLE LITTLE STAR\n");
    EXPECT_EQ(runTool(dir.path(), {"list", "--sort", "name"}).exitCode, 2);
}

}  // namespace
}  // namespace kdb2mid
