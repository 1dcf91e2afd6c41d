// The program's command line, split once into arguments: option arguments
// begin with "/" (or "-", which counts as "/"); a "/" glued inside an option
// argument starts a new one unless a ":" or "=" stands before it, from where
// on the rest is the option's value. Any other argument is a positional one
// (a file name) and is kept whole, since "/" separates directories here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace driver {

struct CommandLine {
    bool split = false;             // the command line has been split
    std::string CMDL;               // the arguments joined with single blanks
    int LC = 0;                     // length of CMDL
    int NARG = 0;                   // number of arguments
    std::vector<std::string> args;  // argument N is args[N - 1]
    std::vector<bool> option;       // whether argument N is an option argument
    int next_file = 1;              // GETFLN's next argument to look at
};

CommandLine& command_line();
// Forgets the split, so that the next call splits platform::arguments() anew.
void reset_command_line();

int NARGC();
void GETARG(int N, std::string& ARG, int& LEN);
void GETCARG(int N, std::string& TEXT, int& LEN);
void GETIARG(int N, int& IVALUE, int& ISTAT);
void GETRARG(int N, float& VALUE, int& ISTAT);
bool TSTOPT(std::string_view OPTION, int& IARG, int IGN_CASE, int L);
void GETFLN(std::string& FILE, std::string_view DEXT, std::string_view DFILE);
void TOLOWR(std::string_view STRING, std::string& STRONG);

// Longest result-file name that the program keeps.
inline constexpr std::size_t kMaxFileName = 128;

}  // namespace driver
