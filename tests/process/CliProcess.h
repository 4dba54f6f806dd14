#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TestSupport.h"

extern char** environ;

namespace vantrel::test {

/// The real command-line tool, started as a child process with its output in two files.
class CliProcess {
  public:
    CliProcess(const std::vector<std::string>& args, const std::filesystem::path& outputFolder,
               const std::string& tag)
        : m_out(outputFolder / (tag + ".out")), m_err(outputFolder / (tag + ".err")) {
        std::vector<std::string> all = {VANTREL_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        argv.reserve(all.size() + 1);
        for (auto& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        int status = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (status != 0) throw std::runtime_error("cannot start " + all[0]);
    }
    ~CliProcess() {
        if (m_pid > 0) {
            kill();
            wait();
        }
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void kill() { ::kill(m_pid, SIGKILL); }
    /// The exit status, or 128 + the signal that ended the process.
    int wait() {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string output() const { return readFileText(m_out) + readFileText(m_err); }

  private:
    pid_t m_pid = -1;
    std::filesystem::path m_out;
    std::filesystem::path m_err;
};

}  // namespace vantrel::test
