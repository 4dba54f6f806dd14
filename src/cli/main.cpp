#include <unistd.h>

#include <clocale>
#include <iostream>

#include "cli/CliContext.h"

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::vector<std::string> args(argv, argv + argc);
    bool interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    return vantrel::cli::runCli(args, std::cout, std::cerr, std::cin, interactive);
}
