// Reading the obstacle file that the result file's header names: the boxes
// of grid cells of the massive, orographic and porous obstacles.
#pragma once

#include <string>

namespace resultfile {

void GET_HAUS();
void GQEM_IGB(const std::string& FILE, bool DEBUG, int& nb, int& no, int& np);
void GTRZ_IGB(const std::string& FILE, bool DEBUG, int& nb, int& no, int& np);
void GQEM_KGB();
void GTRZ_KGB();

// The obstacle file of a stored name: cut at the first "." of its file-name
// part, ".IGB" appended ('c:\run\haus.dat' gives 'c:\run\haus.IGB').
std::string obstacle_file_name(const std::string& stored);

}  // namespace resultfile
