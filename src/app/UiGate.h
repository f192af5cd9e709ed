#pragma once

// Runs work on the UI thread for a worker and waits for it, the way a
// synchronous window message would. Once closed (the window is going away)
// calls from workers return a default result at once, so a worker never
// waits on a window that no longer answers and its owner can join it.
//
// The work travels through a queue of our own under a std::mutex; Qt only
// carries a bare "drain the queue" call, so every hand-over between threads
// is visible to the thread sanitizer.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace yelvane {

struct UiGateState {
  struct Job {
    std::function<void()> run;
    bool running = false;
    bool done = false;
    bool abandoned = false;
  };
  std::mutex mutex;
  std::condition_variable changed;
  bool closed = false;
  std::deque<std::shared_ptr<Job>> queue;
};

// Lives on the UI thread as a child of the gate's window; runs queued work.
class UiGateRelay final : public QObject {
  Q_OBJECT
 public:
  UiGateRelay(std::shared_ptr<UiGateState> state, QObject* parent)
      : QObject(parent), state_(std::move(state)) {}
  Q_INVOKABLE void Drain();

 private:
  std::shared_ptr<UiGateState> state_;
};

class UiGate {
 public:
  explicit UiGate(QObject* context);
  UiGate(const UiGate&) = delete;
  UiGate& operator=(const UiGate&) = delete;
  ~UiGate() { Close(); }

  // Runs `work` on the context's thread and returns its result. `work` must
  // hold copies of what it uses: once the gate is closed a waiting worker
  // gives up, and work that has not started by then is dropped.
  template <class F>
  auto Call(F work) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if (QThread::currentThread() == thread_) {
      if (IsClosed()) return Default<R>();
      return work();
    }
    auto job = std::make_shared<UiGateState::Job>();
    [[maybe_unused]] auto result = std::make_shared<std::optional<Stored<R>>>();
    if constexpr (std::is_void_v<R>) {
      job->run = std::move(work);
    } else {
      job->run = [work = std::move(work), result]() mutable { result->emplace(work()); };
    }
    std::unique_lock lock(state_->mutex);
    if (state_->closed) return Default<R>();
    state_->queue.push_back(job);
    Post();
    state_->changed.wait(lock, [&] { return job->done || (state_->closed && !job->running); });
    if (!job->done) {
      job->abandoned = true;
      return Default<R>();
    }
    if constexpr (!std::is_void_v<R>) return std::move(**result);
  }

  // From now on workers no longer wait for the UI thread.
  void Close();
  bool IsClosed() const;

 private:
  template <class R>
  using Stored = std::conditional_t<std::is_void_v<R>, int, R>;
  template <class R>
  static R Default() {
    if constexpr (!std::is_void_v<R>) return R{};
  }
  void Post();

  QThread* thread_;
  std::shared_ptr<UiGateState> state_;
  UiGateRelay* relay_;
};

}  // namespace yelvane
