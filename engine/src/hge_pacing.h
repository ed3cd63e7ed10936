// Frame pacing: the frame loop asks after every frame when the next one may
// start. The answer comes from times alone, so the rules run under a fake
// clock as well as under the steady one.
#pragma once

enum class PaceMode {
    Unpaced,    // every frame at once: the virtual clock, or no frame-rate limit
    Measuring,  // vsync asked for; watching whether it holds the display's rate
    Vsync,      // vsync holds the rate: presenting waits, the loop does not
    Deadlines,  // the loop sleeps to absolute deadlines one period apart
};

// Deadline of the next frame after one that ended at `now`: one period after
// the previous deadline, so that the rate holds on average; but `now` itself
// when the loop has fallen more than a whole period behind (a stall), so that
// it starts afresh instead of bursting to catch up.
double NextDeadline(double previous, double now, double period);

class FramePacer {
public:
    // Frames measured before vsync is judged, after the first few are skipped.
    static constexpr int WARMUP_FRAMES = 10;
    static constexpr int MEASURED_FRAMES = 60;
    // Frames between checks that vsync still holds the rate.
    static constexpr int CHECK_FRAMES = 120;
    // Largest relative difference of the measured period still taken as the
    // display's rate.
    static constexpr double TOLERANCE = 0.01;
    // While measuring, frames are held to this share of the period: a vsync
    // that holds waits longer and shows its own rate, one that does not
    // shows this one, and either way the loop never races.
    static constexpr double MEASURING_PACE = 0.9;

    // Made by System_Start with the period of the wanted rate in seconds and
    // the time the loop starts.
    FramePacer(PaceMode mode, double period, double now);

    // Called by the frame loop after each frame with the current time and
    // whether the frame presented the window (a frame that shows nothing new
    // does not); returns when the next frame should start (at or before
    // `now`: at once). Presenting is what waits for vsync, so a frame that
    // did not present is held to a deadline one period on in every mode,
    // and the measuring of vsync only looks at presented frames in a row.
    double FrameDone(double now, bool presented = true);

    PaceMode Mode() const { return mode; }
    double Period() const { return period; }
    // False once the loop has taken pacing over from vsync: the renderer
    // should then stop waiting for the display.
    bool WantsVsync() const { return mode == PaceMode::Measuring || mode == PaceMode::Vsync; }

private:
    double MeanInterval(double now) const { return (now - window_start) / frames; }
    void StartWindow(double now);
    double StartDeadlines(double now);
    double HoldUnpresented(double now);

    PaceMode mode;
    double period;
    double deadline = 0.0;
    double window_start = 0.0;
    int frames = 0;
    int warmup_left = WARMUP_FRAMES;
    bool previous_presented = true;
};
