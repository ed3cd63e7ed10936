// Frame pacing under a fake clock: when the loop trusts vsync, when it sleeps
// to its own deadlines, and how it recovers from a stall.
#include <gtest/gtest.h>

#include "hge_pacing.h"

namespace {

constexpr double PERIOD = 1.0 / 60.0;

// Feeds frames that end `interval` apart from `start`; returns the last answer.
double RunFrames(FramePacer &pacer, int frames, double interval, double *clock)
{
    double next = *clock;
    for (int i = 0; i < frames; ++i) {
        *clock += interval;
        next = pacer.FrameDone(*clock);
    }
    return next;
}

TEST(FramePacing, VsyncThatHoldsTheRefreshRateIsLeftToPace)
{
    double clock = 0.0;
    FramePacer pacer(PaceMode::Measuring, PERIOD, clock);
    // A real 59.94 Hz display reported as 60 Hz is close enough.
    double next = RunFrames(pacer, FramePacer::WARMUP_FRAMES + FramePacer::MEASURED_FRAMES,
                            1.0 / 59.94, &clock);
    EXPECT_EQ(pacer.Mode(), PaceMode::Vsync);
    EXPECT_TRUE(pacer.WantsVsync());
    // Presenting waits for the display; the loop itself never sleeps.
    EXPECT_EQ(next, clock);
}

TEST(FramePacing, SimulatedVsyncOrNoneAtAllIsReplacedByDeadlines)
{
    // SDL's simulated vsync under Xvfb: whole milliseconds, 62.5 frames a second.
    for (double interval : {0.016, 0.001}) {
        double clock = 0.0;
        FramePacer pacer(PaceMode::Measuring, PERIOD, clock);
        RunFrames(pacer, FramePacer::WARMUP_FRAMES + FramePacer::MEASURED_FRAMES - 1, interval,
                  &clock);
        EXPECT_EQ(pacer.Mode(), PaceMode::Measuring);
        double next = RunFrames(pacer, 1, interval, &clock);
        EXPECT_EQ(pacer.Mode(), PaceMode::Deadlines) << interval;
        EXPECT_FALSE(pacer.WantsVsync());
        EXPECT_NEAR(next, clock + PERIOD, 1e-12);
    }
}

TEST(FramePacing, WhileMeasuringTheLoopNeverRaces)
{
    // Frames that cost nothing are still held to nearly the display's period.
    FramePacer pacer(PaceMode::Measuring, PERIOD, 0.0);
    double clock = 0.0;
    for (int frame = 0; frame < 30; ++frame) {
        double next = pacer.FrameDone(clock + 0.0001);
        EXPECT_NEAR(next - clock, PERIOD * FramePacer::MEASURING_PACE, 1e-9);
        clock = next;
    }
}

TEST(FramePacing, SlowStartUpFramesDoNotSpoilTheMeasurement)
{
    double clock = 0.0;
    FramePacer pacer(PaceMode::Measuring, PERIOD, clock);
    RunFrames(pacer, FramePacer::WARMUP_FRAMES, 0.2, &clock);
    RunFrames(pacer, FramePacer::MEASURED_FRAMES, PERIOD, &clock);
    EXPECT_EQ(pacer.Mode(), PaceMode::Vsync);
}

TEST(FramePacing, VsyncThatStopsHoldingIsTakenOver)
{
    double clock = 0.0;
    FramePacer pacer(PaceMode::Measuring, PERIOD, clock);
    RunFrames(pacer, FramePacer::WARMUP_FRAMES + FramePacer::MEASURED_FRAMES, PERIOD, &clock);
    ASSERT_EQ(pacer.Mode(), PaceMode::Vsync);
    // Slow frames are load, not a broken vsync.
    RunFrames(pacer, FramePacer::CHECK_FRAMES, 2 * PERIOD, &clock);
    EXPECT_EQ(pacer.Mode(), PaceMode::Vsync);
    // Then presenting stops waiting (the window went to another screen).
    RunFrames(pacer, FramePacer::CHECK_FRAMES, 0.002, &clock);
    EXPECT_EQ(pacer.Mode(), PaceMode::Deadlines);
}

TEST(FramePacing, DeadlinesStayOnAFixedGridWhateverEachFrameCosts)
{
    double clock = 10.0;
    FramePacer pacer(PaceMode::Deadlines, PERIOD, clock);
    const double work[] = {0.001, 0.009, 0.015, 0.0, 0.004};
    for (int frame = 1; frame <= 5; ++frame) {
        double started = 10.0 + (frame - 1) * PERIOD;
        double next = pacer.FrameDone(started + work[frame - 1]);
        EXPECT_NEAR(next, 10.0 + frame * PERIOD, 1e-9) << frame;
    }
}

TEST(FramePacing, ALateFrameIsCaughtUpButAStallStartsAfresh)
{
    // Late by less than a period: the next frame starts at once and the grid holds.
    EXPECT_DOUBLE_EQ(NextDeadline(1.0, 1.0 + 1.5 * PERIOD, PERIOD), 1.0 + PERIOD);
    // Late by a whole second: no burst of frames to catch up, a fresh start.
    EXPECT_DOUBLE_EQ(NextDeadline(1.0, 2.0, PERIOD), 2.0);

    FramePacer pacer(PaceMode::Deadlines, PERIOD, 0.0);
    pacer.FrameDone(0.001);
    double after_stall = pacer.FrameDone(0.5);
    EXPECT_DOUBLE_EQ(after_stall, 0.5);
    EXPECT_NEAR(pacer.FrameDone(0.501), 0.5 + PERIOD, 1e-12);
}

TEST(FramePacing, UnpacedFramesNeverWait)
{
    FramePacer pacer(PaceMode::Unpaced, PERIOD, 0.0);
    EXPECT_EQ(pacer.FrameDone(0.25), 0.25);
    EXPECT_FALSE(pacer.WantsVsync());
}

}  // namespace
