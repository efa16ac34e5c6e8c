#pragma once
// cvkeys-cli run in-process, with what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace cvk {

struct CliResult {
    int rc;
    std::string out;
    std::string err;
};

inline CliResult cli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int rc = runCli(args, out, err);
    return {rc, out.str(), err.str()};
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace cvk
