// Rows of coefficients given back as the output passes them.
//
// Only what the library returned is ever given back: each row from the
// pointer the access gave for it, as many bytes as the library makes a row of
// that component (its blocks padded to whole MCUs), and only the pages wholly
// inside rows already passed. Rows that follow one another in memory are
// joined, so a page shared by two rows goes once both are passed; an array
// made of several chunks simply starts afresh at each chunk. The libjpeg-turbo
// versions whose layout is checked keep every array whole in memory (they
// have no backing store), so a row's pointer stays its own. A page given back
// reads as zeros if touched again, which is harmless for rows nothing reads,
// and for the allocator that later frees it.

#include "imaging/jpeg/jpeg_coefficient_release.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "imaging/jpeg/jpeg_library_check.h"
#include "imaging/jpeg/jpeg_progressive.h"

namespace tessarin::jpeg {

namespace {

std::atomic<uint64_t> releasedBytes{0};

uintptr_t PageSize() {
    static const uintptr_t size = [] {
        const long page = sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<uintptr_t>(page) : uintptr_t{4096};
    }();
    return size;
}

}  // namespace

uint64_t ReleasedCoefficientBytes() { return releasedBytes.load(std::memory_order_relaxed); }

void CoefficientRelease::Start(jpeg_decompress_struct* codec) {
    if (previous_ || !PrivateLayoutVerified()) return;
    jvirt_barray_ptr* arrays = CoefficientArrays(codec);
    if (!arrays) return;
    for (int ci = 0; ci < codec->num_components && ci < MAX_COMPONENTS; ++ci) {
        const jpeg_component_info& c = codec->comp_info[ci];
        Rows& rows = arrays_[static_cast<size_t>(ci)];
        rows.array = arrays[ci];
        rows.rowBytes = RoundUp(c.width_in_blocks, Factor(c.h_samp_factor)) * sizeof(JBLOCK);
    }
    previous_ = codec->mem->access_virt_barray;
    codec->client_data = this;
    codec->mem->access_virt_barray = AccessAndRelease;
}

JBLOCKARRAY CoefficientRelease::AccessAndRelease(j_common_ptr common, jvirt_barray_ptr array,
                                                 JDIMENSION start, JDIMENSION count,
                                                 boolean writable) {
    auto* self = static_cast<CoefficientRelease*>(common->client_data);
    const JBLOCKARRAY result = self->previous_(common, array, start, count, writable);
    // Writing is input, which in the passes this wraps keeps ahead of the
    // output; reading is the output, from the top down.
    if (writable) return result;
    for (Rows& rows : self->arrays_) {
        if (rows.array != array) continue;
        if (rows.rows && start > rows.start) {
            const JDIMENSION passed = std::min(start - rows.start, rows.count);
            for (JDIMENSION i = 0; i < passed; ++i) self->Passed(rows, rows.rows[i]);
        }
        rows.rows = result;
        rows.start = start;
        rows.count = count;
        break;
    }
    return result;
}

void CoefficientRelease::Passed(Rows& rows, JBLOCKROW row) {
    const auto begin = reinterpret_cast<uintptr_t>(row);
    if (begin != rows.pendingEnd) rows.pendingBegin = begin;
    rows.pendingEnd = begin + static_cast<uintptr_t>(rows.rowBytes);
    const uintptr_t page = PageSize();
    const uintptr_t from = (rows.pendingBegin + page - 1) / page * page;
    const uintptr_t to = rows.pendingEnd / page * page;
    if (to <= from) return;
    if (madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED) == 0)
        releasedBytes.fetch_add(to - from, std::memory_order_relaxed);
    rows.pendingBegin = to;
}

}  // namespace tessarin::jpeg
