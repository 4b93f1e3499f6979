#pragma once
#include <windows.h>

#include <string>

namespace vantrel::host {

// Drives the plug-in's dialog the way a user would, from its own thread while
// the host's thread sits in the plug-in's modal loop: waits for the machine to
// be identified, presses Start, confirms the closing message, and saves
// screenshots along the way into `outputDir`. Returns true when the job was
// reported sent and the dialog closed.
class DemoScript {
public:
    DemoScript(HWND hostWindow, std::wstring outputDir) : hostWindow_(hostWindow), outputDir_(std::move(outputDir)) {}
    bool run();

private:
    HWND waitForPluginDialog(DWORD timeoutMs);
    // Asks the simulated cutter named by VANTREL_SIMULATOR to save its record
    // into the output folder and to quit.
    void finishSimulator();
    void screenshot(HWND window, const wchar_t* name);
    // The steps of run().
    bool waitUntilConnected(HWND dialog, HWND preview);
    void showPrintAndCut(HWND dialog, HWND preview);
    HWND startAndWaitForMessage(HWND dialog);
    void pictureOfTheSending(HWND dialog, HWND progress, long long receivedBeforeStart);
    bool confirmFinished(HWND dialog, HWND messageBox);

    HWND hostWindow_;
    std::wstring outputDir_;
};

}  // namespace vantrel::host
