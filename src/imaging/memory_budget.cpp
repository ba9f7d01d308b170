#include "imaging/memory_budget.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace tessarin {

namespace {

constexpr uint64_t kBudgetCap = uint64_t{16} << 30;
constexpr uint64_t kBudgetWhenUnknown = uint64_t{256} << 20;

std::atomic<uint64_t> budgetOverride{0};

}  // namespace

uint64_t DefaultSplitMemoryBudget() {
    static const uint64_t budget = [] {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || pageSize <= 0) return kBudgetWhenUnknown;
        const uint64_t physical = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
        return std::min(physical / 2, kBudgetCap);
    }();
    return budget;
}

uint64_t SplitMemoryBudget() {
    const uint64_t set = budgetOverride.load(std::memory_order_relaxed);
    return set ? set : DefaultSplitMemoryBudget();
}

void SetSplitMemoryBudget(uint64_t bytes) {
    budgetOverride.store(bytes, std::memory_order_relaxed);
}

bool FitsSplitMemoryBudget(uint64_t held, uint64_t wanted) {
    const uint64_t budget = SplitMemoryBudget();
    return held <= budget && wanted <= budget - held;
}

}  // namespace tessarin
