// The simulated cutter as the plug-in sees it: a client opens the pipes with
// the plug-in's own calls (overlapped channels, a plain read of the id pipe)
// and checks the replies, the record and the faults.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "cutdata/commands.h"
#include "support/simulator_process.h"
#include "support/win32/unique_handle.h"
#include "support/win_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
const std::string Status("\x1B\x05", 2);

// The plug-in's side of the link: both channels opened overlapped, read and
// write with 25 ms waits.
class ChannelClient {
public:
    explicit ChannelClient(const SimulatorProcess& sim)
        : out_(open(sim.channelPath(0))), in_(open(sim.channelPath(1))) {}
    // Opens each channel, retrying while the simulator takes its pipe back
    // from the previous client (the name is busy or missing meanwhile).
    ChannelClient(const SimulatorProcess& sim, std::chrono::milliseconds patience) {
        waitFor([&] { return (out_ = open(sim.channelPath(0))) ? true : false; }, patience);
        waitFor([&] { return (in_ = open(sim.channelPath(1))) ? true : false; }, patience);
    }
    bool opened() const { return out_ && in_; }
    // Set once a read did not finish at once: it waits on the pipe.
    HANDLE readPending() const { return readPending_.get(); }
    // The bytes waiting on the reply channel, not yet read.
    DWORD available() const {
        DWORD waiting = 0;
        return PeekNamedPipe(in_.get(), nullptr, 0, nullptr, &waiting, nullptr) ? waiting : 0;
    }
    static win::UniqueHandle open(const std::wstring& path) {
        return win::UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    }

    // One overlapped write of the whole buffer; the error code, 0 on success.
    DWORD write(const std::string& bytes) {
        win::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED op{};
        op.hEvent = done.get();
        DWORD written = 0;
        if (!WriteFile(out_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &op) &&
            GetLastError() != ERROR_IO_PENDING) {
            return GetLastError();
        }
        if (!GetOverlappedResult(out_.get(), &op, &written, TRUE)) return GetLastError();
        return written == bytes.size() ? 0 : ERROR_WRITE_FAULT;
    }

    // Reads until `count` ETX-ended replies have arrived or `timeout` passes;
    // returns every byte read. `error` gets the read's failure code, if any.
    std::string read(int count, std::chrono::milliseconds timeout, DWORD* error = nullptr) {
        std::string bytes;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        win::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        while (std::count(bytes.begin(), bytes.end(), '\x03') < count) {
            OVERLAPPED op{};
            op.hEvent = done.get();
            ResetEvent(done.get());
            char buffer[512];
            DWORD got = 0;
            if (!ReadFile(in_.get(), buffer, sizeof buffer, nullptr, &op)) {
                if (GetLastError() != ERROR_IO_PENDING) {
                    if (error) *error = GetLastError();
                    return bytes;
                }
                SetEvent(readPending_.get());
            }
            while (WaitForSingleObject(done.get(), 25) == WAIT_TIMEOUT) {
                if (std::chrono::steady_clock::now() >= deadline) {
                    CancelIo(in_.get());
                    GetOverlappedResult(in_.get(), &op, &got, TRUE);
                    bytes.append(buffer, got);
                    return bytes;
                }
            }
            if (!GetOverlappedResult(in_.get(), &op, &got, FALSE)) {
                if (error) *error = GetLastError();
                return bytes;
            }
            bytes.append(buffer, got);
        }
        return bytes;
    }

    std::string ask(const std::string& request, int replies = 1) {
        if (write(request) != 0) return "<write failed>";
        return read(replies, 5s);
    }

private:
    win::UniqueHandle out_, in_;
    win::UniqueHandle readPending_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

std::string readIdentificationPipe(const SimulatorProcess& sim, DWORD& endError) {
    win::UniqueHandle pipe(CreateFileW(sim.identificationPipe().c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    endError = pipe ? 0 : GetLastError();
    std::string text;
    char buffer[256];
    DWORD got = 0;
    while (pipe && ReadFile(pipe.get(), buffer, sizeof buffer, &got, nullptr)) text.append(buffer, got);
    if (pipe) endError = GetLastError();
    return text;
}

TEST(Simulator, ServesTheDeviceIdOnceAndClosesEachTime) {
    std::string longId = "MANUFACTURER:Silhouette;" + std::string(600, 'x');
    SimulatorProcess sim({L"--device-id", std::wstring(longId.begin(), longId.end())});
    ASSERT_TRUE(sim.running());
    for (int round = 0; round < 3; ++round) {
        DWORD end = 0;
        std::string text = readIdentificationPipe(sim, end);
        EXPECT_EQ(text, longId.substr(0, 512));
        EXPECT_TRUE(end == ERROR_BROKEN_PIPE || end == ERROR_PIPE_NOT_CONNECTED) << end;
    }
    ASSERT_TRUE(sim.set("device-id", "MANUFACTURER:Graphtec;MODEL:SD;"));
    DWORD end = 0;
    EXPECT_EQ(readIdentificationPipe(sim, end), "MANUFACTURER:Graphtec;MODEL:SD;");
}

TEST(Simulator, AnswersStatusIdentificationAndRecordsAJob) {
    SimulatorProcess sim({L"--identification", L"  SILHOUETTE SD  ", L"--busy-ms", L"600"});
    ASSERT_TRUE(sim.running());
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    EXPECT_EQ(client.ask(Status), "0\x03");
    EXPECT_EQ(client.ask(toWire("FG|")), "  SILHOUETTE SD  \x03");

    std::string job = toWire(cutJobText(cutHeader({JobPrefix, 18, "", 20000, 29, 4120, 10, 5}),
                                        "|M100,100|D100,600,600,600|BZ1,600,600,700,500,700,200,600,100|D100,100"));
    ASSERT_EQ(client.write(job), 0u);
    ASSERT_TRUE(sim.waitForReceived(Status.size() * 1 + 3 + job.size(), 5s));
    EXPECT_EQ(client.ask(Status), "1\x03");  // busy after the job's "H"
    EXPECT_TRUE(waitFor([&] { return client.ask(Status) == "0\x03"; }, 5s));

    std::string received = sim.received();
    EXPECT_EQ(received.substr(0, 5), Status + toWire("FG|"));
    EXPECT_EQ(received.substr(5, job.size()), job);
    std::vector<std::string> commands = sim.commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], "<ESC ENQ>");
    EXPECT_EQ(commands[1], "FG");
    EXPECT_EQ(commands[2], "FN0");
    EXPECT_TRUE(sim.anomalies().empty());
    EXPECT_NE(sim.status().find("position=0.000,0.000 tool=up"), std::string::npos) << sim.status();
}

TEST(Simulator, BusyAtStartAndOnDemand) {
    SimulatorProcess sim({L"--start-busy-ms", L"5000"});
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    EXPECT_EQ(client.ask(Status), "1\x03");
    EXPECT_FALSE(sim.control("busy soon"));
    SimulatorProcess idle;
    ChannelClient idleClient(idle);
    ASSERT_TRUE(idleClient.opened());
    EXPECT_EQ(idleClient.ask(Status), "0\x03");
    ASSERT_TRUE(idle.control("busy 400"));
    EXPECT_EQ(idleClient.ask(Status), "1\x03");
    EXPECT_TRUE(waitFor([&] { return idleClient.ask(Status) == "0\x03"; }, 5s));
}

TEST(Simulator, StatusTellsWhoIsConnectedAndHowOftenTheIdWasRead) {
    SimulatorProcess sim;
    EXPECT_NE(sim.status().find("input-client=0 output-client=0 id-reads=0"), std::string::npos) << sim.status();
    DWORD end = 0;
    readIdentificationPipe(sim, end);
    readIdentificationPipe(sim, end);
    {
        ChannelClient client(sim);
        ASSERT_TRUE(client.opened());
        EXPECT_TRUE(waitFor([&] { return sim.status().find("input-client=1 output-client=1 id-reads=2") !=
                                         std::string::npos; }, 2s))
            << sim.status();
    }
    EXPECT_TRUE(waitFor([&] { return sim.status().find("input-client=0 output-client=0") != std::string::npos; },
                        2s))
        << sim.status();
}

TEST(Simulator, SearchOutcomesFollowTheConfiguredSequence) {
    SimulatorProcess sim({L"--search", L"not-found,found"});
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    std::string search = toWire(markSearchText({5, 400, 16, 100, 100, 4000, 6000}));
    EXPECT_EQ(client.ask(search), "    1\x03");
    EXPECT_EQ(client.ask(search), "    0\x03");
    ASSERT_TRUE(sim.set("search", "n"));
    EXPECT_EQ(client.ask(search), "    1\x03");
}

TEST(Simulator, UnplugClosesEveryPipeAndReplugBringsThemBack) {
    SimulatorProcess sim;
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    EXPECT_EQ(client.ask(Status), "0\x03");

    // A read pending when the cable is pulled fails as a lost port.
    DWORD readError = 0;
    ResetEvent(client.readPending());  // set by the reads before
    DriverThread puller([&] {
        WaitForSingleObject(client.readPending(), 5000);
        sim.unplug();
    });
    client.read(1, 5s, &readError);
    puller.join();
    EXPECT_TRUE(readError == ERROR_BROKEN_PIPE || readError == ERROR_PIPE_NOT_CONNECTED) << readError;
    EXPECT_NE(client.write(Status), 0u);
    for (int channel : {0, 1}) {
        EXPECT_FALSE(ChannelClient::open(sim.channelPath(channel)));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    DWORD end = 0;
    readIdentificationPipe(sim, end);
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(sim.replug());
    ChannelClient again(sim);
    ASSERT_TRUE(again.opened());
    EXPECT_EQ(again.ask(Status), "0\x03");
    EXPECT_NE(sim.status().find("plugged=1"), std::string::npos);

    // A cable pulled at a time, then plugged back by hand.
    ASSERT_TRUE(sim.set("unplug-at-ms", "200"));
    EXPECT_EQ(again.ask(Status), "0\x03");
    EXPECT_TRUE(waitFor([&] { return sim.status().find("plugged=0") != std::string::npos; }, 5s));
    EXPECT_NE(again.write(Status), 0u);
    ASSERT_TRUE(sim.replug());
    EXPECT_TRUE(ChannelClient(sim).opened());
}

TEST(Simulator, ClosingTheChannelsAndReopeningThemNeedsNoReplug) {
    SimulatorProcess sim;
    for (int round = 0; round < 3; ++round) {
        ChannelClient client(sim, 10s);
        ASSERT_TRUE(client.opened()) << round;
        EXPECT_EQ(client.ask(toWire("FG|")), "CAMEO V1.10    \x03") << round;
    }
}

TEST(Simulator, UnplugsAfterExactlyNBytesAndComesBackAfterTheDelay) {
    SimulatorProcess sim({L"--unplug-after-bytes", L"100000", L"--replug-after-ms", L"300"});
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    std::string job(300000, 'M');
    EXPECT_NE(client.write(job), 0u);  // the write breaks off with the cable
    EXPECT_EQ(sim.received(), std::string(100000, 'M'));
    EXPECT_TRUE(waitFor([&] { return sim.status().find("plugged=1") != std::string::npos; }, 5s));
    ChannelClient again(sim);
    ASSERT_TRUE(again.opened());
    // The half-received command died with the link: "FG" stands on its own.
    EXPECT_EQ(again.ask(toWire("FG|")), "CAMEO V1.10    \x03");
    EXPECT_EQ(sim.received().size(), 100003u);
}

TEST(Simulator, ReplyFaultsOnDemand) {
    SimulatorProcess sim;
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());

    ASSERT_TRUE(sim.set("never-answer-fg", "1"));
    EXPECT_EQ(client.ask(toWire("FG|") + Status), "0\x03");  // FG is swallowed, the status still answered
    ASSERT_TRUE(sim.set("never-answer-fg", "0"));

    ASSERT_TRUE(sim.set("stay-busy", "1"));
    EXPECT_EQ(client.ask(Status), "1\x03");
    ASSERT_TRUE(sim.set("stay-busy", "0"));

    ASSERT_TRUE(sim.set("no-etx", "1"));
    ASSERT_EQ(client.write(Status), 0u);
    EXPECT_EQ(client.read(1, 300ms), "0");
    ASSERT_TRUE(sim.set("no-etx", "0"));

    ASSERT_TRUE(sim.set("garbage", "1"));
    EXPECT_EQ(client.ask(Status), std::string("\x00\xFF\x7F#GARBAGE#\x1B\x03", 14));
    ASSERT_TRUE(sim.set("garbage", "0"));

    // Held back, never early, and in the order they were made.
    ASSERT_TRUE(sim.set("reply-delay-ms", "500"));
    ASSERT_EQ(client.write(Status + toWire("FG|")), 0u);
    EXPECT_EQ(client.read(1, 250ms), "") << "nothing before the delay";
    EXPECT_EQ(client.read(2, 5s), "0\x03" "CAMEO V1.10    \x03");
    ASSERT_TRUE(sim.set("reply-delay-ms", "0"));

    // A reply split across reads, as injected bytes.
    ASSERT_TRUE(sim.control("inject 0"));
    ASSERT_TRUE(waitFor([&] { return client.available() >= 1; }, 2s));
    ASSERT_TRUE(sim.control("inject \\x031\\x03"));
    EXPECT_EQ(client.read(2, 2s), "0\x03" "1\x03");

    std::string error;
    EXPECT_FALSE(sim.control("set busy-ms soon", &error));
    EXPECT_EQ(error, "bad value for busy-ms: soon");
    EXPECT_FALSE(sim.control("dance", &error));
    EXPECT_EQ(error, "unknown command: dance");
}

TEST(Simulator, SlowLinkStillReceivesAWholeJobByteForByte) {
    SimulatorProcess sim({L"--slow"});
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    std::string job;
    for (int i = 0; job.size() < 1500000; ++i) job += "D" + std::to_string(i % 5000) + "," + std::to_string(i) + "\x03";
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(client.write(job), 0u);
    ASSERT_TRUE(sim.waitForReceived(job.size(), 20s));
    auto elapsed = std::chrono::steady_clock::now() - start;
    // Paced at about 1 MB/s: 1.5 MB cannot have gone through in well under a second.
    EXPECT_GE(elapsed, 1000ms);
    EXPECT_EQ(sim.received(), job);
    EXPECT_TRUE(sim.anomalies().empty());
}

TEST(Simulator, SavesItsRecordAsFiles) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"vantrel-sim-record-" + std::to_wstring(GetCurrentProcessId());
    SimulatorProcess sim;
    ChannelClient client(sim);
    ASSERT_TRUE(client.opened());
    ASSERT_EQ(client.write(toWire("M0,0|D1000,0|D1000,1000|H|")), 0u);
    ASSERT_TRUE(sim.waitForReceived(23, 5s));
    std::string listing;
    ASSERT_TRUE(sim.control("save " + std::string(folder.begin(), folder.end()), &listing)) << listing;
    win::UniqueHandle png(CreateFileW((folder + L"\\toolpath.png").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(png);
    char signature[8] = {};
    DWORD got = 0;
    ReadFile(png.get(), signature, 8, &got, nullptr);
    EXPECT_EQ(std::string(signature, got), std::string("\x89PNG\r\n\x1A\n", 8));
    png.reset();
    for (const wchar_t* name : {L"received.bin", L"commands.txt", L"anomalies.txt", L"toolpath.svg", L"toolpath.png"}) {
        EXPECT_TRUE(DeleteFileW((folder + L"\\" + name).c_str())) << name;
    }
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(sim.stop(), 0u);
}

}  // namespace
}  // namespace vantrel::test
