#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliContext.h"

namespace vantrel::cli {

/// What one in-process run of the tool printed and returned.
struct Result {
    int status;
    std::string out;
    std::string err;
};

/// Runs `vantrel-cli --store STORE ARGS...` in-process, with `input` as standard input.
inline Result runOnStore(const std::filesystem::path& store, std::vector<std::string> args,
                         const std::string& input = "", bool interactive = false) {
    args.insert(args.begin(), {"vantrel-cli", "--store", store.string()});
    std::ostringstream out, err;
    std::istringstream in(input);
    int status = runCli(args, out, err, in, interactive);
    return {status, out.str(), err.str()};
}

}  // namespace vantrel::cli
