#pragma once

// Asks for a raised scheduling priority for the calling thread, so that reception keeps pace while the
// user interface is busy. Where the platform refuses (an unprivileged process may not raise its priority),
// the thread goes on at its normal priority without a word.
void RaiseCurrentThreadPriority();
