#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Runs in the directory for the lifetime of the object.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

TEST(FileLookup, FindsNamesWithoutRegardToCase) {
    ScratchDir dir;
    dir.write("Run1.erg", "x");
    EXPECT_EQ(platform::find_file(dir.file("Run1.erg")).value(), dir.file("Run1.erg"));
    EXPECT_EQ(platform::find_file(dir.file("RUN1.ERG")).value(), dir.file("Run1.erg"));
    EXPECT_FALSE(platform::find_file(dir.file("run2.erg")).has_value());
    EXPECT_FALSE(platform::find_file("").has_value());
    EXPECT_EQ(platform::lookup_file(dir.file("run2.ERG")), dir.file("run2.ERG"));
    InDirectory here(dir.path());
    EXPECT_EQ(platform::find_file("RUN1.ERG").value(), "Run1.erg");
}

TEST(FileLookup, MapsDosPathsStoredInDataFiles) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "lauf");
    dir.write("lauf/HAUS.IGB", "x");
    dir.write("lauf/run1.ERG", "x");
    const std::string result = dir.file("lauf/run1.ERG");
    // Not at the stored path: beside the result file, with any case.
    EXPECT_EQ(platform::resolve_stored_name("C:\\MODELL\\haus.igb", result), dir.file("lauf/HAUS.IGB"));
    // At the stored path itself (absolute, backslashes turned round).
    std::string stored = dir.file("lauf\\HAUS.IGB");
    EXPECT_EQ(platform::resolve_stored_name(stored, "anderswo/x.ERG"), dir.file("lauf/HAUS.IGB"));
    // In the working directory.
    dir.write("NUR_HIER.DAT", "x");
    InDirectory here(dir.path());
    EXPECT_EQ(platform::resolve_stored_name("D:\\X\\nur_hier.dat", "lauf/run1.ERG"), "NUR_HIER.DAT");
    // Nowhere: the converted name, so that the message shows it.
    EXPECT_EQ(platform::resolve_stored_name("C:\\X\\fehlt.dat", "lauf/run1.ERG"), "/X/fehlt.dat");
}

TEST(FileNames, ExtensionsAreLookedForInTheFileNamePartOnly) {
    EXPECT_FALSE(platform::has_extension("runs.v2/case1"));
    EXPECT_TRUE(platform::has_extension("runs/case1.erg"));
    EXPECT_EQ(platform::extension_of("runs.v2/case1"), "");
    EXPECT_EQ(platform::extension_of("a\\b.c\\run.dkm"), ".dkm");
    EXPECT_EQ(platform::with_extension("runs.v2/case1.dif", ".ERG"), "runs.v2/case1.ERG");
    EXPECT_EQ(platform::with_extension("runs.v2/case1", ".ERG"), "runs.v2/case1.ERG");
    EXPECT_EQ(platform::file_name_part("..\\run\\haus.dat"), "haus.dat");
    EXPECT_EQ(platform::directory_part("plots/run1.plt"), "plots/");
}

TEST(VelinDirectory, StandsForTheDosInstallationDirectory) {
    ScratchDir dir;
    dir.write("SIMPLX.STY", "x");
    dir.write("velin.pal", "x");
    const char* old = std::getenv("VELIN_DIR");
    std::string saved = old ? old : "";
    setenv("VELIN_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(platform::velin_dir(), dir.path().string());
    EXPECT_EQ(platform::velin_file("C:\\VELIN\\SIMPLX.STY"), dir.file("SIMPLX.STY"));
    EXPECT_EQ(platform::velin_file("c:/velin/VELIN.PAL"), dir.file("velin.pal"));
    EXPECT_EQ(platform::velin_file("SIMPLX.STY"), dir.file("SIMPLX.STY"));
    if (old) setenv("VELIN_DIR", saved.c_str(), 1);
    else unsetenv("VELIN_DIR");
    EXPECT_FALSE(platform::velin_dir().empty());
}

TEST(OutputFile, ReplacesTheFinalNameOnlyWhenComplete) {
    ScratchDir dir;
    const std::string target = dir.file("MURAL.PLT");
    dir.write("MURAL.PLT", "alt");
    {
        platform::OutputFile out;
        ASSERT_TRUE(out.open(target));
        ASSERT_TRUE(out.write("neu"));
        EXPECT_EQ(read_file(target), "alt");
        EXPECT_TRUE(fs::exists(out.temporary_path()));
        // A run that stops: the temporary goes, the old file stays.
        platform::discard_temporary_files();
        EXPECT_FALSE(out.is_open());
    }
    EXPECT_EQ(read_file(target), "alt");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    platform::OutputFile out;
    ASSERT_TRUE(out.open(target));
    out.write("neu");
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(read_file(target), "neu");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_NE(fs::status(target).permissions() & fs::perms::others_read, fs::perms::none);

    platform::OutputFile nowhere;
    EXPECT_FALSE(nowhere.open(dir.file("fehlt/MURAL.PLT")));
}

TEST(OutputFile, AppendsBlocksToLogs) {
    ScratchDir dir;
    ASSERT_TRUE(platform::append_to_file(dir.file("FLX.LOG"), "eins\n"));
    ASSERT_TRUE(platform::append_to_file(dir.file("FLX.LOG"), "zwei\xB3\n"));
    EXPECT_EQ(read_file(dir.file("FLX.LOG")), "eins\nzwei\xB3\n");
    EXPECT_TRUE(platform::write_file_atomically(dir.file("x.bin"), "abc"));
    EXPECT_EQ(read_file(dir.file("x.bin")), "abc");
}

}  // namespace
