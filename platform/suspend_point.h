// The point where a thread started by CreateThread stops while it is suspended.
// POSIX cannot halt a thread at an arbitrary instruction, so SuspendThread only raises the
// thread's suspend count; the thread itself waits here, at its next call into the platform
// layer, until ResumeThread brings the count back to 0. Sleep and waveOutGetPosition call it.
#pragma once

// Returns at once on a thread that is not suspended or was not started by CreateThread.
void WaitWhileSuspended();
