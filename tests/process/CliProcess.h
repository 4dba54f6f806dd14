#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
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
    /// With `addressSpaceLimit` (bytes), the child may map no more than that: a process that
    /// needs more memory sees its allocations fail.
    CliProcess(const std::vector<std::string>& args, const std::filesystem::path& outputFolder,
               const std::string& tag, rlim_t addressSpaceLimit = RLIM_INFINITY)
        : m_out(outputFolder / (tag + ".out")), m_err(outputFolder / (tag + ".err")) {
        std::vector<std::string> all = {VANTREL_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        argv.reserve(all.size() + 1);
        for (auto& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        // A forked copy rather than posix_spawn: a spawned child shares this process's memory
        // until it runs the tool, and the kernel would count this process's peak as the tool's.
        // A fork counts only what this process holds at the moment. The output files are made
        // here, before the child exists, so that they can be read as soon as this returns.
        int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        int out = ::open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        int err = ::open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        struct rlimit bound {
            addressSpaceLimit, addressSpaceLimit
        };
        m_pid = ::fork();
        if (m_pid == 0) {
            // Between fork and exec only calls that are safe there.
            if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
                ::dup2(err, 2) < 0)
                ::_exit(126);
            if (addressSpaceLimit != RLIM_INFINITY && ::setrlimit(RLIMIT_AS, &bound) != 0)
                ::_exit(126);
            ::execve(argv[0], argv.data(), environ);
            ::_exit(127);
        }
        for (int descriptor : {in, out, err})
            if (descriptor >= 0) ::close(descriptor);
        if (m_pid < 0) throw std::runtime_error("cannot start " + all[0]);
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
    void signal(int number) { ::kill(m_pid, number); }
    /// The exit status, or 128 + the signal that ended the process.
    int wait() {
        int status = 0;
        rusage usage{};
        while (wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        m_peakKiB = usage.ru_maxrss;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string output() const { return readFileText(m_out) + readFileText(m_err); }
    /// The most memory the process held at once (its VmHWM, which starts at what this process
    /// held when it started it), known once it has been waited for.
    long peakKiB() const { return m_peakKiB; }

  private:
    pid_t m_pid = -1;
    long m_peakKiB = 0;
    std::filesystem::path m_out;
    std::filesystem::path m_err;
};

}  // namespace vantrel::test
