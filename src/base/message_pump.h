#pragma once
// The one message pump of the thread, for the main loop and the loops nested in it.

enum class PumpStep { Empty, Dispatched, Quit };

enum class QuitRequest {
    Take,   // the main loop: the quit request ends it
    Leave,  // a nested loop: the request is posted again for the main loop to see
};

// Takes at most one waiting message of this thread and dispatches it; never waits.
PumpStep DispatchOneMessage(QuitRequest quit);

// Inside a job: at most one waiting message, a quit request left for the main loop.
void PumpOneMessage();

// Dispatches messages, waiting for them, until a quit request arrives.
void RunMessageLoop();
