// Image decoding (libvips) and HTTP (libcurl) bring about a hundred shared libraries whose
// loading and relocation cost tens of milliseconds before main, on every run. So vantrel-cli is
// linked without the commands that need them and hands those to vantrel-cli-media, built from
// the same sources and installed beside it; `inspect` and friends start with only what they use.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <vector>

#include "cli/Commands.h"

namespace vantrel::cli {

namespace {

std::filesystem::path mediaExecutable() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw UsageError("cannot locate vantrel-cli-media: " + error.message());
    return self.parent_path() / "vantrel-cli-media";
}

}  // namespace

int runMediaCommand(const std::string& name, CliContext& ctx) {
    std::string program = mediaExecutable().string();
    // The location travels in the environment: a server URL may hold a password, which must
    // not show in the process list.
    setenv("VANTREL_STORE", ctx.storePath().c_str(), 1);
    std::vector<std::string> args = {program, name};
    args.insert(args.end(), ctx.args.begin(), ctx.args.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ctx.out.flush();
    ctx.err.flush();
    execv(program.c_str(), argv.data());
    throw UsageError(name + " needs " + program + ": " + std::strerror(errno));
}

}  // namespace vantrel::cli
