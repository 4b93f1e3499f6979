// vantrel-sim.exe: a simulated Silhouette cutter on named pipes.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "win32/pipe_io.h"
#include "win32/sim_server.h"

namespace {

vantrel::sim::SimServer* runningServer = nullptr;

BOOL WINAPI onConsoleControl(DWORD) {
    // Ctrl+C ends the run the same way "quit" does, so the record is saved.
    if (runningServer) runningServer->requestQuit();
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.push_back(vantrel::sim::narrow(argv[i]));
        vantrel::sim::SimSettings settings;
        std::string error = vantrel::sim::parseArguments(args, settings);
        if (error == "help") {
            std::printf("usage: vantrel-sim [options]\n%s", vantrel::sim::SettingsHelp);
            return 0;
        }
        if (!error.empty()) {
            std::fprintf(stderr, "vantrel-sim: %s (see --help)\n", error.c_str());
            return 2;
        }
        vantrel::sim::SimServer server(std::move(settings));
        runningServer = &server;
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        int result = server.run();
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
        runningServer = nullptr;
        return result;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrel-sim: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "vantrel-sim: unexpected failure\n");
    }
    return 1;
}
