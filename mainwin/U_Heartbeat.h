// The online heartbeat: a thread of its own that tells the server every few seconds that this
// client is alive. It has its own HTTP client, reads the session and the API base URL only
// through their locked accessors, and never touches the user interface or the local store.
#pragma once

#include "U_Http.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class THeartbeat {
public:
  // Starts the thread, sending at once when running, or waiting for Resume when suspended.
  THeartbeat(std::unique_ptr<THttp> http, std::chrono::milliseconds interval, bool running);
  // Wakes the thread wherever it waits and joins it; a request in flight is let finish.
  ~THeartbeat();
  THeartbeat(const THeartbeat&) = delete;
  THeartbeat& operator=(const THeartbeat&) = delete;

  // Offline the thread sleeps on a condition until resumed: no polling, nothing sent.
  void Suspend();
  void Resume();
  bool Suspended() const;
  void Stop(); // what the destructor does; safe to call twice

private:
  void Run();

  std::unique_ptr<THttp> http_;
  const std::chrono::milliseconds interval_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool suspended_;
  bool stop_ = false;
  std::thread thread_;
};
