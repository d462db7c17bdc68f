#include "vbscript/objects/deep_stack.h"

#include <pthread.h>

#include <exception>

#include "core/vb_error.h"

namespace veldrane::vbs {

namespace {

constexpr int32_t kOutOfStackSpace = 28;

struct Task {
  const std::function<void()>* work;
  std::exception_ptr error;  // what the work threw, carried back to the caller
};

void* RunTask(void* data) {
  auto* task = static_cast<Task*>(data);
  try {
    (*task->work)();
  } catch (...) {
    // Not absorbed: handed to the waiting caller, which rethrows it.
    task->error = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void RunOnStack(size_t stack_bytes, const std::function<void()>& work) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) throw VbError(kOutOfStackSpace);
  Task task{&work, nullptr};
  pthread_t thread;
  int rc = pthread_attr_setstacksize(&attr, stack_bytes);
  if (rc == 0) rc = pthread_create(&thread, &attr, RunTask, &task);
  pthread_attr_destroy(&attr);
  if (rc != 0) throw VbError(kOutOfStackSpace);
  pthread_join(thread, nullptr);
  if (task.error) std::rethrow_exception(task.error);
}

}  // namespace veldrane::vbs
