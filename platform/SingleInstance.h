// One running copy of each program per desktop session, and the three
// requests that reach the running copy from outside its own event handlers:
// "come to the front" from a second copy, "connect" posted at start, and
// "open the connection settings" posted after a failed connection.
#pragma once

#include <functional>
#include <memory>

namespace amppanel {

struct BuildProfile;

struct InstanceHandlers {
  std::function<void()> bringToFront;  // restore from minimised, raise, activate
  std::function<void()> autoOpen;      // run the Connect action
  std::function<void()> autoConfig;    // run the connection settings action
};

class SingleInstance {
 public:
  virtual ~SingleInstance() = default;

  // True when no other copy of this build runs; this process is then the
  // first copy and holds the instance until Release or destruction.
  virtual bool Acquire() = 0;
  // Second copy: asks the first copy to come to the front and returns once it
  // has handled the request (or the first copy is gone). False when no copy
  // could be reached.
  virtual bool BringFirstToFront() = 0;

  // First copy: the handlers run on the thread that called Listen, from its
  // event loop, in the order their requests arrived.
  virtual void Listen(InstanceHandlers handlers) = 0;
  // Queue a request to this process's own handlers: they run when the event
  // loop gets to it (so a request posted before the windows exist runs after).
  virtual void PostAutoOpen() = 0;
  virtual void PostAutoConfig() = 0;

  virtual void Release() = 0;
};

}  // namespace amppanel
