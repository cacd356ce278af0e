#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/console.hpp"
#include "io/process.hpp"
#include "messages/command_help.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int run(int argc, char** argv) {
    try {
#ifdef _WIN32
        // Names and lyrics are printed in UTF-8.
        SetConsoleOutputCP(CP_UTF8);
#endif
        const std::vector<std::string> arguments = kdb2mid::utf8Arguments(argc, argv);
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        return kdb2mid::runCommandLine(pointers);
    } catch (const std::exception& error) {
        std::printf("kdb2mid: %s\n", error.what());
    } catch (...) {
        std::printf("kdb2mid: %s\n", kdb2mid::help::kUnexpectedFailure);
    }
    return kdb2mid::kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    kdb2mid::handleStopSignals();
    return kdb2mid::finishProcess(run(argc, argv));
}
