// Runs a job on a thread of a chosen stack size: how deep scripts nest
// depends on the stack, and the test thread's own is the machine's to set.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

// Runs `job` on a thread of its own with a stack of `bytes` and waits for it.
inline void RunOnStack(size_t bytes, const std::function<void()>& job) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, bytes), 0);
  pthread_t thread;
  auto body = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&job)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}
