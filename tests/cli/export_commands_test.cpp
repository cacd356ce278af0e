// The export subcommands as a user runs them: exit status, standard output
// and the files left in the folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"
#include "generator/sample_names.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using sample::readFile;
using sample::writeFile;
using test::bytes;
using test::Bytes;
using test::runTool;
using test::TempDir;

const Bytes kEarlierOutput = bytes({'k', 'e', 'e', 'p'});

Bytes utf16(std::u16string_view text) {
    Bytes out;
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

std::filesystem::path legacyDatabaseDir() { return test::sourceDir() / "examples" / "legacy-db"; }

void copySampleNames(const std::filesystem::path& dir) {
    for (const char* name : {"name.idx", "name.tab"}) {
        std::filesystem::copy_file(test::sampleDatabaseDir() / name, dir / name);
    }
}

TEST(NamesCommand, ExportsTheSampleNames) {
    TempDir dir;
    copySampleNames(dir.path());
    const test::RunResult run = runTool(dir.path(), {"names"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "Skip 50006\n");
    std::u16string expected =
        u"\uFEFFTWINKLE TWINKLE LITTLE STAR\t50001\n"
        u"ODE TO JOY\t50002\n"
        u"FRERE JACQUES\t50003\n"
        u"TR\u1ED0NG C\u01A0M\t50004\n"
        u"B\u00C8O D\u1EA0T M\u00C2Y TR\u00D4I\t50005\n"
        u"*****\t50006\n";
    for (int song = 50007; song <= 51894; ++song) {
        const std::string number = std::to_string(song);
        expected += u'\t';
        expected.append(number.begin(), number.end());
        expected += u'\n';
    }
    EXPECT_EQ(readFile(dir / "Output.txt"), utf16(expected));
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"Output.txt", "name.idx", "name.tab"}));
}

TEST(NamesCommand, MissingInputLeavesTheEarlierListUntouched) {
    for (const char* missing : {"name.idx", "name.tab"}) {
        TempDir dir;
        copySampleNames(dir.path());
        std::filesystem::remove(dir / missing);
        writeFile(dir / "Output.txt", kEarlierOutput);
        const test::RunResult run = runTool(dir.path(), {"names"});
        EXPECT_EQ(run.exitCode, 1) << missing;
        EXPECT_EQ(run.out, "Failed to open file\n") << missing;
        EXPECT_EQ(readFile(dir / "Output.txt"), kEarlierOutput) << missing;
    }
}

TEST(NamesCommand, BadIndexIsReportedAndTheLinesKeepTheirNumbers) {
    struct Case {
        const char* what;
        std::size_t indexSize;  // name.idx cut to this many bytes
        std::string out;
        bool written;  // Output.txt replaced
    };
    const Case cases[] = {
        {"cut inside the list", 115644 + 4 * 7 + 2,
         "Skip 50006\nCannot export the names from song 50007 on: name.idx ends before them\n",
         true},
        {"cut before the first name's end", 115644 + 4,
         "Cannot export the names from song 50001 on: name.idx ends before them\n", false},
        {"empty", 0, "Cannot export the names from song 50001 on: name.idx ends before them\n",
         false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const sample::NameFiles names = sample::buildSampleNames();
        writeFile(dir / "name.idx", Bytes(names.index.begin(),
                                          names.index.begin() + static_cast<std::ptrdiff_t>(c.indexSize)));
        writeFile(dir / "name.tab", names.table);
        writeFile(dir / "Output.txt", kEarlierOutput);
        const test::RunResult run = runTool(dir.path(), {"names"});
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_EQ(run.out, c.out) << c.what;
        const Bytes output = readFile(dir / "Output.txt");
        if (c.written) {
            EXPECT_EQ(output, utf16(u"\uFEFFTWINKLE TWINKLE LITTLE STAR\t50001\nODE TO JOY\t50002\n"
                                    u"FRERE JACQUES\t50003\nTR\u1ED0NG C\u01A0M\t50004\n"
                                    u"B\u00C8O D\u1EA0T M\u00C2Y TR\u00D4I\t50005\n*****\t50006\n"))
                << c.what;
        } else {
            EXPECT_EQ(output, kEarlierOutput) << c.what;
        }
    }
}

TEST(NamesCommand, NameOutsideNameTabFailsButTheListIsWritten) {
    TempDir dir;
    const sample::NameFiles names = sample::buildSampleNames();
    writeFile(dir / "name.idx", names.index);
    // name.tab cut inside the fourth name: it and every later one fail.
    writeFile(dir / "name.tab", Bytes(names.table.begin(), names.table.begin() + 56));
    const test::RunResult run = runTool(dir.path(), {"names"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "Cannot export the name of song 50004: it runs past the end of name.tab\n"
              "Cannot export the name of song 50005: it runs past the end of name.tab\n"
              "Skip 50006\n");
    const Bytes output = readFile(dir / "Output.txt");
    const Bytes start = utf16(u"\uFEFFTWINKLE TWINKLE LITTLE STAR\t50001\nODE TO JOY\t50002\n"
                              u"FRERE JACQUES\t50003\n*****\t50004\n*****\t50005\n*****\t50006\n");
    EXPECT_EQ(Bytes(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(start.size())), start);
}

TEST(NamesCommand, UnwritableListIsReported) {
    TempDir dir;
    copySampleNames(dir.path());
    // A folder of that name cannot be replaced by the list.
    std::filesystem::create_directory(dir / "Output.txt");
    writeFile(dir / "Output.txt" / "inside", kEarlierOutput);
    const test::RunResult run = runTool(dir.path(), {"names"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Skip 50006\nCannot open file Output.txt for writing\n");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"Output.txt", "name.idx", "name.tab"}));
}

TEST(ChorusIndexCommand, DumpsTheIndexAsText) {
    TempDir dir;
    sample::Database database;
    database.chorusIndex = {{1, 0, 3}, {2, 3, 0x80000004}, {0x7FFFFFFF, 4, 4}};
    sample::writeDatabase(database, dir.path());
    const test::RunResult run = runTool(dir.path(), {"chorus-index"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    const Bytes text = readFile(dir / "index.txt");
    EXPECT_EQ(std::string(text.begin(), text.end()), "1 0 3 \n2 3 4 \n2147483647 4 4 \n");
}

TEST(ChorusIndexCommand, MissingIndexLeavesTheEarlierTextUntouched) {
    TempDir dir;
    writeFile(dir / "index.txt", kEarlierOutput);
    const test::RunResult run = runTool(dir.path(), {"chorus-index"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Failed to open file\n");
    EXPECT_EQ(readFile(dir / "index.txt"), kEarlierOutput);
}

// The sample older database under root: records of songs 50001 and 50002.
void copyLegacyDatabase(const std::filesystem::path& root) {
    std::filesystem::create_directories(root / "9703");
    for (const char* name : {"song.idx", "song.dat"}) {
        std::filesystem::copy_file(legacyDatabaseDir() / "9703" / name, root / "9703" / name);
    }
}

Bytes sampleLegacyRecord(int index) {
    const sample::LegacyFiles files = sample::buildSampleLegacyDatabase();
    const std::size_t at = 4 * (50001 - 21090 + static_cast<std::size_t>(index));
    const std::uint32_t start = readBigEndian32(files.index, at);
    const std::uint32_t end = readBigEndian32(files.index, at + 4);
    return Bytes(files.data.begin() + start, files.data.begin() + end);
}

TEST(LegacyCommand, CopiesTheRecordIntoTheRoot) {
    TempDir dir;
    copyLegacyDatabase(dir / "db");
    const test::RunResult run = runTool(dir.path(), {"legacy", "50002", "--root", "db"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(dir / "db" / "50002.dat"), sampleLegacyRecord(1));

    // Without --root the current folder is the root.
    const test::RunResult here = runTool(dir / "db", {"legacy", "50001"});
    EXPECT_EQ(here.exitCode, 0);
    EXPECT_EQ(readFile(dir / "db" / "50001.dat"), sampleLegacyRecord(0));
}

TEST(LegacyCommand, RefusesRecordsTheIndexDoesNotHold) {
    TempDir dir;
    copyLegacyDatabase(dir.path());
    // Song 50003 ends where 50004 starts: after 50002 the entries run back
    // to 0, then to far past song.dat's end.
    Bytes index = readFile(dir / "9703" / "song.idx");
    for (std::uint32_t entry : {0u, 0x10000u}) appendBigEndian32(index, entry);
    writeFile(dir / "9703" / "song.idx", index);
    struct Case {
        const char* song;
        std::string out;
    };
    const Case cases[] = {
        {"21089", "Cannot extract song 21089: song numbers start at 21090\n"},
        {"50003", "Cannot extract song 50003: its song.idx entries end before they start\n"},
        {"50004", "Cannot extract song 50004: its record runs past the end of song.dat\n"},
        {"50005", "Cannot extract song 50005: song.idx has no entry for it\n"},
    };
    for (const Case& c : cases) {
        const std::string output = std::string(c.song) + ".dat";
        writeFile(dir / output, kEarlierOutput);
        const test::RunResult run = runTool(dir.path(), {"legacy", c.song});
        EXPECT_EQ(run.exitCode, 1) << c.song;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(readFile(dir / output), kEarlierOutput) << c.song;
    }
}

TEST(LegacyCommand, MissingDatabaseLeavesTheEarlierRecordUntouched) {
    for (const char* missing : {"song.idx", "song.dat"}) {
        TempDir dir;
        copyLegacyDatabase(dir.path());
        std::filesystem::remove(dir / "9703" / missing);
        writeFile(dir / "50001.dat", kEarlierOutput);
        const test::RunResult run = runTool(dir.path(), {"legacy", "50001", "--root", "."});
        EXPECT_EQ(run.exitCode, 1) << missing;
        EXPECT_EQ(run.out, "Failed to open file\n") << missing;
        EXPECT_EQ(readFile(dir / "50001.dat"), kEarlierOutput) << missing;
    }
}

// -C names the folder read, -o the folder written; what is written is the
// same as from inside the database folder.
TEST(ExportCommands, ReadFromDbdirAndWriteIntoOutdir) {
    struct Case {
        std::vector<std::string> args;
        std::filesystem::path written;  // relative to the run's folder
    };
    const Case cases[] = {
        {{"names", "-C", "db"}, "Output.txt"},
        {{"names", "-C", "db", "-o", "out"}, "out/Output.txt"},
        {{"chorus-index", "--database", "db", "--output", "out"}, "out/index.txt"},
        {{"chorus-index", "-C", "db"}, "index.txt"},
        {{"legacy", "50002", "-C", "db"}, "50002.dat"},
        {{"legacy", "50002", "-C", "db", "-o", "out"}, "out/50002.dat"},
        {{"legacy", "50002", "--root", "db", "-o", "out"}, "out/50002.dat"},
        // A folder not there yet is created, as convert creates its own.
        {{"names", "-C", "db", "-o", "new/list"}, "new/list/Output.txt"},
        {{"chorus-index", "-C", "db", "-o", "new"}, "new/index.txt"},
        {{"legacy", "50002", "-C", "db", "-o", "new"}, "new/50002.dat"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        copyLegacyDatabase(dir / "db");
        copySampleNames(dir / "db");
        sample::Database database;
        database.chorusIndex = {{1, 0, 3}};
        sample::writeDatabase(database, dir / "db");
        std::filesystem::create_directory(dir / "out");
        const test::RunResult run = runTool(dir.path(), c.args);
        SCOPED_TRACE(c.args[0] + " " + c.written.string());
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(std::filesystem::is_regular_file(dir / c.written));
        // Nothing written anywhere else: the database folder keeps its files.
        EXPECT_FALSE(std::filesystem::exists(dir / "db" / c.written.filename()));
    }
}

// "Failed to open file" stays the line on standard output; standard error
// says which file and why.
TEST(ExportCommands, MissingInputIsNamedWithTheReason) {
    TempDir dir;
    std::filesystem::create_directories(dir / "folder" / "name.tab");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"names", "-C", "nowhere"},
         "kdb2mid: Cannot open nowhere/name.tab: No such file or directory\n"},
        {{"names", "-C", "folder"}, "kdb2mid: Cannot open folder/name.tab: Is a directory\n"},
        {{"chorus-index"},
         "kdb2mid: Cannot open CRS&TCK.IDX in " + dir.path().string() +
             ": No such file or directory (use -C FOLDER to name the database folder)\n"},
        {{"legacy", "50001"},
         "kdb2mid: Cannot open 9703/song.dat in " + dir.path().string() +
             ": No such file or directory (use -C FOLDER to name the database folder)\n"},
        {{"legacy", "50001", "-C", "nowhere"},
         "kdb2mid: Cannot open nowhere/9703/song.dat: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const test::RunResult run = runTool(dir.path(), c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args[0];
        EXPECT_EQ(run.out, "Failed to open file\n") << c.args[0];
        EXPECT_EQ(run.err, c.err) << c.args[0];
    }
    EXPECT_EQ(dir.files(), std::vector<std::string>{"folder"});
}

TEST(ExportCommands, AreRecognisedOnlyAsTheFirstArgument) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    };
    const Case cases[] = {
        {{"legacy"}, 2, ""},
        {{"legacy", "50001", "--root"}, 2, ""},
        {{"legacy", "50001", "--rot", "x"}, 2, ""},
        {{"names", "x"}, 2, ""},
        {{"chorus-index", "50001"}, 2, ""},
        // Elsewhere a command name is no command.
        {{"50001", "names"}, 2, ""},
        {{"Names"}, 2, ""},
    };
    for (const Case& c : cases) {
        const test::RunResult run = runTool(dir.path(), c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0];
        EXPECT_EQ(run.out, c.out) << c.args[0];
        if (c.exitCode == 2) {
            EXPECT_NE(run.err, "") << c.args[0];
        }
    }
    EXPECT_TRUE(dir.files().empty());
}

}  // namespace
}  // namespace kdb2mid
