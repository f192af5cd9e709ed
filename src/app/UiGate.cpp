#include "app/UiGate.h"

#include <QMetaObject>

namespace yelvane {

void UiGateRelay::Drain() {
  for (;;) {
    std::shared_ptr<UiGateState::Job> job;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->queue.empty()) return;
      job = std::move(state_->queue.front());
      state_->queue.pop_front();
      if (job->abandoned) continue;
      job->running = true;
    }
    job->run();
    {
      std::lock_guard lock(state_->mutex);
      job->running = false;
      job->done = true;
    }
    state_->changed.notify_all();
  }
}

UiGate::UiGate(QObject* context)
    : thread_(context->thread()),
      state_(std::make_shared<UiGateState>()),
      relay_(new UiGateRelay(state_, context)) {}

void UiGate::Post() {
  // Called with the state locked, so the relay cannot be gone: the window
  // closes the gate before it is destroyed.
  QMetaObject::invokeMethod(relay_, "Drain", Qt::QueuedConnection);
}

void UiGate::Close() {
  {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
  }
  state_->changed.notify_all();
}

bool UiGate::IsClosed() const {
  std::lock_guard lock(state_->mutex);
  return state_->closed;
}

}  // namespace yelvane
