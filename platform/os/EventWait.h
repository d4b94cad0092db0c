#pragma once
// Waiting on the UI thread without spinning: a nested event loop that sleeps until an event, a
// timer or the deadline wakes it. Turning processEvents() in a loop instead keeps a core busy
// for the whole wait.
#include <functional>

// Runs the event loop for `ms` milliseconds.
void RunEventsFor(int ms);

// Runs the event loop until `done` holds or `ms` milliseconds pass; whether `done` held at the
// end. `done` is asked every `checkMs` milliseconds, because what it watches may change on
// another thread without an event.
bool RunEventsUntil(const std::function<bool()>& done, int ms, int checkMs = 5);
