// SDL's per-frame calls, stood in for in the layer benchmark: while stubbed,
// they return at once without drawing, so that a frame's time is the time of
// the program's own code (game, toolkit and engine layer) alone.
#pragma once

namespace bench {

// Off: every call goes on to SDL. On: the per-frame calls do nothing.
void StubSdlDrawing(bool on);
// Per-frame SDL calls that were stood in for since the stubs were switched on.
long StubbedCalls();

}  // namespace bench
