#include "support/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace tessarin::testing {
namespace {

thread_local long countdown = -1;  // allocations to let through; -1: none fails
thread_local bool failEveryLater = false;
thread_local bool reached = false;

bool ShouldFail() {
    if (countdown < 0) return false;
    if (countdown > 0) {
        --countdown;
        return false;
    }
    reached = true;
    if (!failEveryLater) countdown = -1;
    return true;
}

}  // namespace

FailingAllocation::FailingAllocation(long index, bool andEveryLater) {
    countdown = index;
    failEveryLater = andEveryLater;
    reached = false;
}

FailingAllocation::~FailingAllocation() { countdown = -1; }

bool FailingAllocation::Reached() const { return reached; }

}  // namespace tessarin::testing

// Every form of new and delete, so that allocation and release always pair
// malloc with free (sanitizers check that they match).
void* operator new(std::size_t size) {
    if (tessarin::testing::ShouldFail()) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return ::operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
