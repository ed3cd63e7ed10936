#include "hge_pacing.h"

#include <cmath>

double NextDeadline(double previous, double now, double period)
{
    double next = previous + period;
    if (now - next > period)
        return now;
    return next;
}

FramePacer::FramePacer(PaceMode mode, double period, double now)
    : mode(mode), period(period), deadline(now), window_start(now)
{
}

void FramePacer::StartWindow(double now)
{
    window_start = now;
    frames = 0;
}

double FramePacer::StartDeadlines(double now)
{
    mode = PaceMode::Deadlines;
    deadline = NextDeadline(now, now, period);
    return deadline;
}

double FramePacer::HoldUnpresented(double now)
{
    deadline = NextDeadline(deadline, now, period);
    return deadline;
}

double FramePacer::FrameDone(double now, bool presented)
{
    // Only intervals between presented frames tell the display's rate.
    const bool in_run = presented && previous_presented;
    previous_presented = presented;
    if (!presented && (mode == PaceMode::Measuring || mode == PaceMode::Vsync))
        return HoldUnpresented(now);
    switch (mode) {
    case PaceMode::Unpaced:
        return now;
    case PaceMode::Measuring:
        // The first frames carry the window's start-up, not the display's rate.
        if (warmup_left > 0) {
            if (--warmup_left == 0)
                StartWindow(now);
        } else if (!in_run) {
            StartWindow(now);
        } else if (++frames == MEASURED_FRAMES) {
            if (std::fabs(MeanInterval(now) - period) > period * TOLERANCE)
                return StartDeadlines(now);
            mode = PaceMode::Vsync;
            deadline = now;
            StartWindow(now);
            return now;
        }
        // The first present after frames that showed nothing is not measured:
        // it is held to the whole period like them.
        deadline = NextDeadline(deadline, now, in_run ? period * MEASURING_PACE : period);
        return deadline;
    case PaceMode::Vsync:
        // The vblank just waited for is where the next deadline counts from.
        deadline = now;
        if (!in_run) {
            StartWindow(now);
        } else if (++frames == CHECK_FRAMES) {
            // Only a rate too fast is a broken vsync; a slow one is load.
            if (MeanInterval(now) < period * (1.0 - 2.0 * TOLERANCE))
                return StartDeadlines(now);
            StartWindow(now);
        }
        return now;
    case PaceMode::Deadlines:
        deadline = NextDeadline(deadline, now, period);
        return deadline;
    }
    return now;
}
