#include <gtest/gtest.h>

#include "driver/cmdline.h"
#include "platform/arguments.h"
#include "test_support.h"

using namespace testing_support;
using namespace driver;

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void use(std::vector<std::string> args) {
        platform::set_arguments(std::move(args));
        reset_command_line();
    }
    static std::string arg(int n) {
        std::string a;
        int len = 0;
        GETARG(n, a, len);
        return a;
    }
    void TearDown() override { use({}); }
};

TEST_F(CommandLineTest, MissingArgumentsWarnAndReturnMinusOne) {
    CapturedConsole con;
    use({"run1"});
    std::string a = "unverändert";
    int len = 0;
    GETARG(3, a, len);
    EXPECT_EQ(len, -1);
    EXPECT_EQ(a, "unverändert");
    int value = 42, istat = 0;
    GETIARG(2, value, istat);
    EXPECT_EQ(istat, -1);
    EXPECT_EQ(value, 42);
    GETCARG(2, a, len);
    EXPECT_EQ(len, -1);
    EXPECT_EQ(con.out(), " GETARG-W-missing argument #3\n GETARG-W-missing argument #2\n GETARG-W-missing argument #2\n");
}

TEST_F(CommandLineTest, MalformedNumbersStopTheRun) {
    CapturedConsole con;
    use({"/F=1x", "/R=2e3", "/R=1.2.3", "/F=99999999999"});
    int iv = 0, istat = 0;
    EXPECT_EQ(fatal_message([&] { GETIARG(1, iv, istat); }), "GETARG-F-falsches INTEGER_Argument");
    EXPECT_NE(con.out().find(" GETARG-I-Argument /F=1x Pos.1"), std::string::npos);
    float rv = 0;
    EXPECT_EQ(fatal_message([&] { GETRARG(2, rv, istat); }), "GETARG-F-Exponenten-Handling nicht implementiert");
    EXPECT_EQ(fatal_message([&] { GETRARG(3, rv, istat); }), "GETARG-F-falsches REAL_Argument");
    EXPECT_EQ(fatal_message([&] { GETIARG(4, iv, istat); }), "GETARG-F-falsches INTEGER_Argument");
}

TEST_F(CommandLineTest, EmptyCommandLineHasNoArguments) {
    use({});
    EXPECT_EQ(NARGC(), 0);
    int iarg = 7;
    EXPECT_FALSE(TSTOPT("/de", iarg, 1, 3));
    EXPECT_EQ(iarg, 0);
}

TEST_F(CommandLineTest, SplitsGluedOptionsButKeepsPathsWhole) {
    use({"file.erg/de"});
    // A positional argument is a path and is kept whole.
    EXPECT_EQ(NARGC(), 1);
    use({"run1", "/de/n", "runs/case1", "/p=plots/run1.plt", "-l:RO", "/x:0,500,0,400", "a", "-b", "c-d"});
    ASSERT_EQ(NARGC(), 10);
    const char* expected[] = {"run1", "/de", "/n", "runs/case1", "/p=plots/run1.plt", "/l:RO", "/x:0,500,0,400",
                              "a", "/b", "c-d"};
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(arg(n), expected[n - 1]) << n;
    std::string a;
    int len = 0;
    GETARG(2, a, len);
    EXPECT_EQ(len, 3);  // '/de' without the separator that ended it
    EXPECT_EQ(command_line().CMDL, "run1 /de /n runs/case1 /p=plots/run1.plt /l:RO /x:0,500,0,400 a /b c-d");
}

TEST_F(CommandLineTest, OptionValues) {
    CapturedConsole con;
    use({"/F=12", "/F:12", "/F12", "/F=-3", "/F=", "/L:xyz", "/p=out/a=b:c.plt", "/de", "/F=+7"});
    int value = 0, istat = 0;
    for (int n = 1; n <= 3; ++n) {
        GETIARG(n, value, istat);
        EXPECT_EQ(value, 12);
        EXPECT_EQ(istat, 2);
    }
    GETIARG(4, value, istat);
    EXPECT_EQ(value, -3);
    EXPECT_EQ(istat, 1);
    GETIARG(5, value, istat);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(istat, -1);
    GETIARG(9, value, istat);
    EXPECT_EQ(value, 7);
    std::string text;
    int len = 0;
    GETCARG(6, text, len);
    EXPECT_EQ(text, "xyz");
    EXPECT_EQ(len, 3);
    // The value starts after the first separator and may hold more of them.
    GETCARG(7, text, len);
    EXPECT_EQ(text, "out/a=b:c.plt");
    GETCARG(8, text, len);
    EXPECT_EQ(len, 1);
    EXPECT_EQ(text, "e");
    float real = 0;
    use({"/z=2,5", "/z=-0.125", "/z=", "/z=3"});
    GETRARG(1, real, istat);
    EXPECT_FLOAT_EQ(real, 2.5f);
    EXPECT_EQ(istat, 2);
    GETRARG(2, real, istat);
    EXPECT_FLOAT_EQ(real, -0.125f);
    GETRARG(3, real, istat);
    EXPECT_EQ(istat, -1);
    GETRARG(4, real, istat);
    EXPECT_FLOAT_EQ(real, 3.0f);
}

TEST_F(CommandLineTest, OptionsAreFoundInOptionNamesOnly) {
    use({"runs/new", "/p=out/final.plt", "/nord", "/DE"});
    int iarg = 0;
    EXPECT_TRUE(TSTOPT("/de", iarg, 1, 3));
    EXPECT_EQ(iarg, 4);
    EXPECT_FALSE(TSTOPT("/de", iarg, 0, 3));  // case matters without IGN_CASE
    EXPECT_TRUE(TSTOPT("/n", iarg, 1, 2));
    EXPECT_EQ(iarg, 3);                        // inside '/nord', not in 'runs/new'
    EXPECT_FALSE(TSTOPT("/f", iarg, 1, 2));   // not in the value 'out/final.plt'
    EXPECT_EQ(iarg, 0);
    EXPECT_TRUE(TSTOPT("/p", iarg, 1, 2));
    EXPECT_EQ(iarg, 2);
    EXPECT_TRUE(TSTOPT("/nXXX", iarg, 1, 2)); // only L characters count
}

TEST_F(CommandLineTest, FileNamesSkipOptionsAndGetTheDefaultExtension) {
    std::string file;
    use({"/n", "run1", "../runs.v2/case1", "..\\run", "/de", "b.dat"});
    GETFLN(file, ".ERG", "DEFAULT");
    EXPECT_EQ(file, "run1.ERG");
    GETFLN(file, ".ERG", "DEFAULT");
    EXPECT_EQ(file, "../runs.v2/case1.ERG");
    GETFLN(file, ".ERG", "DEFAULT");
    EXPECT_EQ(file, "..\\run.ERG");
    GETFLN(file, ".ERG", "DEFAULT");
    EXPECT_EQ(file, "b.dat");
    GETFLN(file, ".ERG", "DEFAULT");
    EXPECT_EQ(file, "DEFAULT");

    use({std::string(60, 'a') + "/" + std::string(60, 'b')});
    GETFLN(file, ".ERG", "");
    EXPECT_EQ(file.size(), 125u);  // a long path is kept whole
    use({std::string(130, 'x')});
    EXPECT_NE(fatal_message([&] { GETFLN(file, ".ERG", ""); }).find("GETFLN-F-"), std::string::npos);
}

TEST_F(CommandLineTest, LowerCasesOnlyAsciiLetters) {
    std::string out;
    TOLOWR("Höhe ÄB/Xy", out);
    EXPECT_EQ(out, "höhe Äb/xy");
}

}  // namespace
