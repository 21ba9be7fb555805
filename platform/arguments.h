// The program's command-line arguments as UTF-8 text.
#pragma once
#include <string>
#include <vector>

namespace orvane {

// The arguments after the program's name. On Windows they come from the wide
// command line, so that names outside the ANSI code page arrive whole; elsewhere
// they are the bytes the program was given.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace orvane
