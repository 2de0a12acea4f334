// The event loop with its clock and screen: the posted-message queue, timers,
// pending-event processing, the tick count, sleeping, the local date-time,
// the screen's size and the pointer's position.
//
// Everything runs on the one user-interface thread: posted tasks and timer
// callbacks run one at a time, each to its end, from the loop.
#pragma once

#include <cstdint>
#include <functional>

#include "base/datetime.h"
#include "platform/types.h"

namespace tarnwick {

class EventLoop {
 public:
  using TimerId = int;

  virtual ~EventLoop() = default;

  // Queues task to run from the loop once the current handler has returned.
  // Promised, on every backend:
  // - tasks run in posting order, one at a time, never inside the handler
  //   that posted them (nor inside Post);
  // - a task posted before ProcessPendingEvents is called has run when it
  //   returns, and Run runs every task before it waits for new input.
  // Not promised: where a task falls among input events already waiting.
  // Windows delivers a posted message before queued input (and before paints
  // and timer ticks); Qt may first deliver input it has already read. A
  // handler must read the state it needs when it runs rather than count on
  // later input having, or not having, been handled. The headless loop keeps
  // the Windows order. Nor is it promised whether a modal loop (message box,
  // dialog, popup menu) opened by a handler runs tasks posted before it:
  // Windows and Qt do, the headless dialogs answer without running a loop.
  virtual void Post(std::function<void()> task) = 0;

  // Starts a timer that calls callback every interval_ms milliseconds
  // (interval_ms > 0). Ticks do not pile up: at most one tick is pending,
  // and none is raised while the previous one's callback runs. Answers an id
  // above 0.
  virtual TimerId StartTimer(int interval_ms, std::function<void()> callback) = 0;
  // Stops the timer; unknown ids are ignored. Safe inside its own callback.
  virtual void StopTimer(TimerId id) = 0;

  // Handles every event already waiting (input, paints, posted tasks, due
  // timers) and returns; used by long operations to stay responsive.
  virtual void ProcessPendingEvents() = 0;

  // Runs the loop until Quit; answers Quit's exit code.
  virtual int Run() = 0;
  // Makes Run return exit_code once the current handler has returned.
  virtual void Quit(int exit_code) = 0;

  // Sets what runs, from the loop, when the system needs the program's
  // unsaved work saved now, without asking the user: the session or the
  // system is ending, or (Linux) a termination signal arrived (SIGTERM,
  // SIGHUP, SIGINT). The process may end as soon as the handler returns;
  // after a termination signal the backend ends it, with exit code 0. An
  // empty handler saves nothing.
  virtual void SetSaveRequestHandler(std::function<void()> handler) = 0;
  // Sets what runs when the connection to the display is lost and the
  // process is about to end (Linux: the X server went away). The handler
  // must not touch any window: there is none any more. A backend whose
  // display cannot go away never calls it.
  virtual void SetDisplayLostHandler(std::function<void()> handler) = 0;

  // Milliseconds since an arbitrary start, wrapping at 2^32.
  virtual std::uint32_t TickCount() const = 0;
  // Blocks the thread for milliseconds (events are not processed).
  virtual void Sleep(int milliseconds) = 0;
  // The local date and time now.
  virtual DateTime LocalNow() const = 0;

  // Size of the primary screen in pixels.
  virtual Size ScreenSize() const = 0;
  // The pointer's position in screen coordinates.
  virtual Point CursorPosition() const = 0;
};

}  // namespace tarnwick
