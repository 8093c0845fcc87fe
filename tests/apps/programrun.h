#pragma once

// One of the programs run as a user or a script runs it: its exit status and what it printed.

#include "testtempdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct SProgramRun {
    int nStatus = -1;
    std::string strOut, strErr;

    std::string firstErrLine() const { return strErr.substr(0, strErr.find('\n')); }
};

// strCommand is the program and its arguments, environment settings in front where needed.
inline SProgramRun runProgram(const std::string& strCommand) {
    const auto out = testTempDir() / "run-stdout.txt", err = testTempDir() / "run-stderr.txt";
    const int nRaw = std::system((strCommand + " >" + out.string() + " 2>" + err.string()).c_str());
    return {WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1, fileText(out), fileText(err)};
}

#ifdef CM3D_RENDER_EXE
inline SProgramRun render(const std::string& strArgs, const std::string& strEnvironment = "") {
    return runProgram(strEnvironment + " " + CM3D_RENDER_EXE + " " + strArgs);
}
#endif
#ifdef CM3D_DEMO_EXE
inline SProgramRun demo(const std::string& strArgs) {
    return runProgram("QT_QPA_PLATFORM=offscreen " + std::string(CM3D_DEMO_EXE) + " " + strArgs);
}
#endif
