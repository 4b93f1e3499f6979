// The pipes a cutter is to the plug-in: each exists only while the cable is
// in, and every instance is counted so that an unplug or a replug can wait
// until the names are really gone or back. "<base>\.id" is served here; the
// machine's input and output have files of their own.
#include "win32/sim_server.h"

namespace vantrel::sim {
namespace {

constexpr DWORD CreateRetryMs = 50;

}  // namespace

win::UniqueHandle SimServer::createPipeOrPause(const std::wstring& name, DWORD maxInstances, DWORD bufferBytes) {
    win::UniqueHandle pipe = createPipe(name, maxInstances, bufferBytes);
    // The name may still be held by an instance on its way out: the caller
    // tries again after a pause that a quit cuts short.
    if (!pipe) WaitForSingleObject(quitEvent_.get(), CreateRetryMs);
    return pipe;
}

win::UniqueHandle SimServer::openDevicePipe(const std::wstring& name, DWORD maxInstances, DWORD bufferBytes) {
    if (!waitUntilPlugged()) return {};
    win::UniqueHandle pipe = createPipeOrPause(name, maxInstances, bufferBytes);
    if (pipe) countDevicePipes(1);
    return pipe;
}

void SimServer::closeDevicePipe(win::UniqueHandle& pipe, bool disconnect) {
    if (disconnect) DisconnectNamedPipe(pipe.get());
    pipe.reset();
    countDevicePipes(-1);
}

void SimServer::serveDevicePipe(const wchar_t* suffix, std::atomic<bool>& clientConnected,
                                void (SimServer::*serveClient)(HANDLE pipe)) {
    while (!quit_) {
        // A machine set to stop taking bytes has no buffer on its input, so
        // that what it does not take stays pending in the writer.
        DWORD buffer = 65536;
        if (std::wstring_view(suffix) == L"\\.00") {
            std::lock_guard lock(mutex_);
            if (settings_.link.stallAfterBytes >= 0) buffer = 0;
        }
        win::UniqueHandle pipe = openDevicePipe(base_ + suffix, 1, buffer);
        if (!pipe) continue;
        while (!quit_ && connectPipe(pipe.get(), unplugEvent_.get()) == IoResult::Done) {
            clientConnected = true;
            (this->*serveClient)(pipe.get());
            clientConnected = false;
            DisconnectNamedPipe(pipe.get());
            if (unplugged()) break;
        }
        closeDevicePipe(pipe, true);
    }
}

std::string SimServer::deviceIdText() {
    std::lock_guard lock(mutex_);
    return settings_.deviceId.substr(0, MaxDeviceIdBytes);
}

void SimServer::serveIdentification() {
    std::wstring name = base_ + L"\\.id";
    win::UniqueHandle listening;
    // Closing without disconnecting leaves the text readable; the client then
    // finds the end of the pipe. An unplug throws it away instead.
    auto closeInstance = [&](win::UniqueHandle& pipe, IoResult result) {
        closeDevicePipe(pipe, result == IoResult::Stopped);
    };
    while (!quit_) {
        if (!listening && !(listening = openDevicePipe(name, PIPE_UNLIMITED_INSTANCES))) continue;
        IoResult result = connectPipe(listening.get(), unplugEvent_.get());
        if (result != IoResult::Done) {
            closeInstance(listening, result);
            if (result == IoResult::Failed) WaitForSingleObject(quitEvent_.get(), 10);
            continue;
        }
        // Discovery reads the id once per channel, back to back: the next
        // instance listens before this one is served and closed.
        win::UniqueHandle served = std::move(listening);
        if (!unplugged()) {
            listening = createPipe(name, PIPE_UNLIMITED_INSTANCES);
            if (listening) countDevicePipes(1);
        }
        std::string text = deviceIdText();
        ++idReads_;
        closeInstance(served, writeAll(served.get(), text, unplugEvent_.get()));
    }
    if (listening) closeInstance(listening, IoResult::Stopped);
}

}  // namespace vantrel::sim
