#include "CliApp.h"

#include "base/Platform.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const kuvrion::ConsoleSetup console;
    kuvrion::UseBinaryStandardStreams();
    const std::vector<std::string> args = kuvrion::CommandLineArguments(argc, argv);
    const auto programDir = kuvrion::RunningProgramFile(argc > 0 ? argv[0] : nullptr).parent_path();
    const kuvrion::cli::CliIo io{std::cout, std::cerr, kuvrion::StdErrIsTerminal(),
                                 console.Escapes(), &std::cin};
    const int status = kuvrion::cli::RunCli(args, io, programDir);
    std::cout.flush();
    return status;
}
