// GoogleTest's thread-start notification for GCC's win32 thread model, whose standard library
// has no std::mutex or std::condition_variable. Only GoogleTest's own thread helper uses it;
// our tests are single-threaded. Force-included into GoogleTest and every test on Windows.
#ifndef ORVIA_GTEST_NOTIFICATION_H
#define ORVIA_GTEST_NOTIFICATION_H
#ifdef __cplusplus

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }
    void WaitForNotification()
    {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#endif
#endif
