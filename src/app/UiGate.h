#pragma once

// Runs work on the UI thread for a worker and waits for it, the way a
// synchronous window message would. Once closed (the window is going away)
// calls from workers return a default result at once, so a worker never
// waits on a window that no longer answers and its owner can join it.

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace yelvane {

class UiGate {
 public:
  explicit UiGate(QObject* context) : context_(context), state_(std::make_shared<State>()) {}
  UiGate(const UiGate&) = delete;
  UiGate& operator=(const UiGate&) = delete;
  ~UiGate() { Close(); }

  // Runs `work` on the context's thread and returns its result. `work` must
  // hold copies of what it uses: once the gate is closed a waiting worker
  // gives up, and work that has not started yet is dropped.
  template <class F>
  auto Call(F work) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if (QThread::currentThread() == context_->thread()) {
      if (IsClosed()) return Default<R>();
      return work();
    }
    auto job = std::make_shared<Job<R>>();
    auto state = state_;
    {
      std::lock_guard lock(state->mutex);
      if (state->closed) return Default<R>();
    }
    QMetaObject::invokeMethod(
        context_,
        [job, state, work = std::move(work)]() mutable {
          {
            std::lock_guard lock(state->mutex);
            if (job->abandoned) return;
            job->running = true;
          }
          if constexpr (std::is_void_v<R>) {
            work();
          } else {
            auto value = work();
            std::lock_guard lock(state->mutex);
            job->result = std::move(value);
          }
          std::lock_guard lock(state->mutex);
          job->done = true;
          state->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return job->done || (state->closed && !job->running); });
    if (!job->done) {
      job->abandoned = true;
      return Default<R>();
    }
    if constexpr (!std::is_void_v<R>) return std::move(*job->result);
  }

  // From now on workers no longer wait for the UI thread.
  void Close() {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->changed.notify_all();
  }

  bool IsClosed() const {
    std::lock_guard lock(state_->mutex);
    return state_->closed;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
  };
  template <class R>
  struct Job {
    bool running = false;
    bool done = false;
    bool abandoned = false;
    std::optional<R> result;
  };
  template <class R>
  static R Default() {
    if constexpr (!std::is_void_v<R>) return R{};
  }

  QObject* context_;
  std::shared_ptr<State> state_;
};

template <>
struct UiGate::Job<void> {
  bool running = false;
  bool done = false;
  bool abandoned = false;
};

}  // namespace yelvane
