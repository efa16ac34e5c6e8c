#pragma once
// cvkeys-cli: the core driven from text. Each step does what the matching
// user action in the main window does and prints what the window would show.

#include <iosfwd>
#include <string>
#include <vector>

namespace cvk {

// Runs the command line (without the program name). Returns the exit code:
// 0 success, 1 a step failed, 2 bad usage.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string cliUsage();
std::string udevRuleText();

}  // namespace cvk
