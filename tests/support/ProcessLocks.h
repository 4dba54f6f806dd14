#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vantrel::test {

/// Whether this process holds a POSIX lock on `file`, as the kernel lists it in /proc/locks
/// ("1: POSIX  ADVISORY  READ 4242 fe:01:131 128 128").
inline bool processHoldsLockOn(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) return false;
    std::string inodeSuffix = ":" + std::to_string(status.st_ino);
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, device;
        fields >> number >> kind;
        if (kind == "->") fields >> kind;  // a waiter, listed under the lock it waits for
        fields >> mode >> access >> pid >> device;
        if (kind == "POSIX" && pid == std::to_string(::getpid()) &&
            device.size() > inodeSuffix.size() && device.ends_with(inodeSuffix))
            return true;
    }
    return false;
}

}  // namespace vantrel::test
