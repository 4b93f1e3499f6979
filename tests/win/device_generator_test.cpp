// The cut-data generator thread: it tells the dialog how long the job is,
// then queues the whole text, which reaches the wire with ETX for every "|".
#include <gtest/gtest.h>

#include "cutdata/commands.h"
#include "cutdata/cut_stream.h"
#include "device_pipe_end.h"
#include "device_test_window.h"
#include "plugin/win32/cut_data_generator.h"
#include "settings/profile.h"

namespace vantrel::test {
namespace {

using win::WM_GENERATOR_EVENT;

CutJob triangleJob() {
    CutJob job;
    job.path.points = {{1, 1}, {2, 1}, {1.5f, 2}};
    job.path.types = {PathPointTypeStart, PathPointTypeLine, PathPointTypeLine | PathPointTypeCloseSubpath};
    job.passCount = 2;
    job.model = CutterModelCameo;
    job.force = 12;
    job.speed = 5;
    return job;
}

class Generator : public ::testing::Test {
protected:
    void SetUp() override {
        // The writer reports to nobody: the window records only the generator.
        ASSERT_TRUE(writer_.Start(nullptr, win::WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true));
        ASSERT_TRUE(writer_.openChannel(pipe_.name()));
        generator_.connection = writer_.connection();
        generator_.job = triangleJob();
        generator_.mediaWidth = 12.0f;
    }
    bool start() { return generator_.Start(window_.hwnd(), WM_GENERATOR_EVENT, THREAD_PRIORITY_NORMAL, false); }

    EventWindow window_;
    PipeEnd pipe_;
    MemoryProfile profile_;
    win::PortWriter writer_;
    win::CutDataGenerator generator_{writer_, profile_};
};

TEST_F(Generator, AnnouncesTheLengthThenQueuesTheWholeJob) {
    profile_.writeText("sil_dpix", u"500.0");
    const std::string expected = buildCutStream(triangleJob(), 500.0, 508.0, 12.0f).text;
    ASSERT_FALSE(expected.empty());
    ASSERT_TRUE(start());
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.count(WM_GENERATOR_EVENT, 0) == 1; }, 5s));
    EXPECT_EQ(window_.events().front().value, static_cast<LPARAM>(expected.size()));
    ASSERT_TRUE(generator_.waitForEnd(5000));
    EXPECT_EQ(pipe_.readFor(300ms), toWire(expected));
    EXPECT_EQ(generator_.result(), 0u);
    // Each Start generates once more.
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !generator_.isRunning(); }, 2s));
    ASSERT_TRUE(start());
    ASSERT_TRUE(generator_.waitForEnd(5000));
    EXPECT_EQ(pipe_.readFor(300ms), toWire(expected));
}

TEST_F(Generator, WithTheDialogGoneTheJobIsStillQueued) {
    window_.destroy();
    ASSERT_TRUE(start());
    ASSERT_TRUE(generator_.waitForEnd(5000));
    EXPECT_EQ(pipe_.readFor(300ms), toWire(buildCutStream(triangleJob(), 508.0, 508.0, 12.0f).text));
}

TEST_F(Generator, AJobMadeForAConnectionThatEndedIsNotSentOnTheNextOne) {
    const std::string expected = toWire(buildCutStream(triangleJob(), 508.0, 508.0, 12.0f).text);
    generator_.connection = writer_.connection();
    ASSERT_NE(generator_.connection, 0u);
    // The cable goes and comes back while the job is being prepared.
    writer_.closeChannel();
    PipeEnd next;
    ASSERT_TRUE(writer_.openChannel(next.name()));
    ASSERT_TRUE(start());
    ASSERT_TRUE(generator_.waitForEnd(5000));
    EXPECT_EQ(next.readFor(300ms), "");
    // A job started with no connection at all goes nowhere either.
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !generator_.isRunning(); }, 2s));
    generator_.connection = 0;
    ASSERT_TRUE(start());
    ASSERT_TRUE(generator_.waitForEnd(5000));
    EXPECT_EQ(next.readFor(300ms), "");
    // A job started on this connection goes out on it.
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !generator_.isRunning(); }, 2s));
    generator_.connection = writer_.connection();
    ASSERT_TRUE(start());
    ASSERT_TRUE(generator_.waitForEnd(5000));
    EXPECT_EQ(next.readFor(300ms), expected);
}

TEST_F(Generator, ABadJobIsReportedAndNothingIsSent) {
    struct Case {
        const char* name;
        const char16_t* dpiX;
        int force;
        CutStreamError error;
    } cases[] = {{"unreadable resolution", u"abc", 12, CutStreamError::InvalidResolution},
                 {"resolution no machine has", u"1e-30", 12, CutStreamError::InvalidResolution},
                 {"resolution of 10^8 steps per inch", u"1e8", 12, CutStreamError::InvalidResolution},
                 {"force out of range", u"508.0", 40, CutStreamError::InvalidSetting}};
    for (const auto& c : cases) {
        window_.clear();
        profile_.writeText("sil_dpix", c.dpiX);
        generator_.job.force = c.force;
        ASSERT_TRUE(start()) << c.name;
        ASSERT_TRUE(generator_.waitForEnd(5000)) << c.name;
        ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.events().size() == 1; }, 2s)) << c.name;
        EXPECT_EQ(window_.events().front().code, win::GENERATOR_FAILED) << c.name;
        EXPECT_EQ(window_.events().front().value, static_cast<LPARAM>(c.error)) << c.name;
        EXPECT_EQ(pipe_.readFor(150ms), "") << c.name;
        ASSERT_TRUE(EventWindow::pumpUntil([&] { return !generator_.isRunning(); }, 2s));
    }
}

// In a 32-bit process a design of twenty million corners cut ten times makes
// more text than one string can hold: the dialog is told, nothing is sent,
// and the host does not crash.
TEST_F(Generator, AJobTooLargeForMemoryIsReportedAndNothingIsSent) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "only a 32-bit process runs out of room cheaply";
    CutJob job;
    constexpr std::size_t Corners = 20'000'000;
    job.path.points.resize(Corners);
    job.path.types.resize(Corners, PathPointTypeLine);
    for (std::size_t i = 0; i < Corners; ++i)
        job.path.points[i] = {1.0f + static_cast<float>(i % 1000) / 100.0f, 1.0f + static_cast<float>(i % 997) / 100.0f};
    job.path.types[0] = PathPointTypeStart;
    job.passCount = 10;
    job.model = CutterModelCameo;
    generator_.job = std::move(job);
    ASSERT_TRUE(start());
    ASSERT_TRUE(generator_.waitForEnd(60000));
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.count(WM_GENERATOR_EVENT, win::GENERATOR_FAILED) == 1; }, 2s));
    EXPECT_EQ(window_.events().back().value, static_cast<LPARAM>(CutStreamError::TooLarge));
    EXPECT_EQ(pipe_.readFor(150ms), "");
}

}  // namespace
}  // namespace vantrel::test
