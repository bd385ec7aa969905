// The registry editor of the simulated PC as a program: "regedit /s FILE" imports a REGEDIT4 file
// (relative names against the program's current directory) into the machine's registry, without asking.
// Without "/s" it imports just the same, as if the user had confirmed. Exit code 0 when the file was
// imported, 1 when it could not be read or its header was refused, 2 when no file was named.
#pragma once

#include <string>
#include <vector>

namespace sim {

class ProgramTable;

// Registers REGEDIT.EXE with the machine's programs.
void RegisterRegeditProgram(ProgramTable& programs);

// The arguments of a command line after the program name, with quotes removed.
std::vector<std::string> CommandArguments(const std::string& commandLine);

}  // namespace sim
