#include "U_Heartbeat.h"

#include "U_PublicApi.h"

THeartbeat::THeartbeat(std::unique_ptr<THttp> http, std::chrono::milliseconds interval, bool running)
    : http_(std::move(http)), interval_(interval), suspended_(!running) {
  thread_ = std::thread([this] { Run(); });
}

THeartbeat::~THeartbeat() { Stop(); }

void THeartbeat::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void THeartbeat::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void THeartbeat::Resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
  }
  wake_.notify_all();
}

bool THeartbeat::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void THeartbeat::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !suspended_; });
    if (stop_) return;
    lock.unlock();
    // A session emptied by a failed save leaves the thread resumed: it then sends nothing.
    if (IsOnline()) {
      try {
        HeartbeatRequest(*http_);
      } catch (...) {
        // The server hears from us again at the next beat; nobody is waiting for this one.
      }
    }
    lock.lock();
    // Suspending does not cut the pause short: a resume right after it must not send twice.
    wake_.wait_for(lock, interval_, [this] { return stop_; });
    if (stop_) return;
  }
}
