#pragma once
// Allocation failures on demand: the test binary replaces the global
// operator new, and a FailingAllocation makes the calling thread's C++
// allocations fail from the n-th on, as std::bad_alloc (or null for the
// nothrow forms). Memory that C libraries take with malloc is not affected.

namespace tessarin::testing {

class FailingAllocation {
  public:
    // The allocation `index` places from now (0: the next one) fails; with
    // `andEveryLater`, so does every allocation after it, as when memory has
    // run out; otherwise only that one.
    FailingAllocation(long index, bool andEveryLater);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // Whether the allocation made to fail was reached.
    bool Reached() const;
};

}  // namespace tessarin::testing
