#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/process_guard.hpp"

#ifdef _WIN32
// windows.h first: shellapi.h builds on its declarations.
#include <windows.h>

#include <shellapi.h>

namespace {

// Windows hands main() its arguments in the local code page, which cannot
// hold every file name; the wide command line can. The program works in UTF-8.
std::vector<std::string> utf8Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 0; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<std::size_t>(size) : 1U, '\0');
        if (size > 0) {
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        }
        text.resize(text.size() - 1);  // the terminating NUL
        arguments.push_back(std::move(text));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace
#endif

namespace {

int run(int argc, char** argv) {
    try {
#ifdef _WIN32
        // Names and lyrics are printed in UTF-8.
        SetConsoleOutputCP(CP_UTF8);
        const std::vector<std::string> arguments = utf8Arguments();
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        if (pointers.empty()) pointers.assign(argv, argv + argc);
        return kdb2mid::runCommandLine(pointers);
#else
        return kdb2mid::runCommandLine(
            std::span<const char* const>(argv, static_cast<std::size_t>(argc)));
#endif
    } catch (const std::exception& error) {
        std::printf("kdb2mid: %s\n", error.what());
    } catch (...) {
        std::printf("kdb2mid: unexpected failure\n");
    }
    return kdb2mid::kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    kdb2mid::prepareProcess();
    return kdb2mid::finishProcess(run(argc, argv));
}
