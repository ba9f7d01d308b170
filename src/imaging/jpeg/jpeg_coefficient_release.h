#pragma once
// The memory of a multi-scan file's coefficients given back behind the rows.
//
// A decompressor that makes its rows from whole-image coefficient arrays
// (every progressive file, and a baseline file of several scans) holds the
// coefficients of the whole image while the rows fill the raster or the
// bands: without this, the peak is both at once. The output pass reads the
// arrays from top to bottom, one iMCU row per call (the smoothing variant
// also the rows just before): once it asks for rows further down, the rows
// above are never read again, and their whole pages go back to the system.

#include <array>
#include <cstdint>

#include "imaging/jpeg/jpeg_private.h"

namespace tessarin::jpeg {

class CoefficientRelease {
  public:
    CoefficientRelease() = default;
    CoefficientRelease(const CoefficientRelease&) = delete;
    CoefficientRelease& operator=(const CoefficientRelease&) = delete;

    // Wraps `codec`'s access to its arrays (chaining to the access it has now)
    // and gives back the rows its output passes from now on. The caller
    // vouches that the output pass now starting is the last one to read the
    // arrays and that no input writes into rows above where it reads. The
    // codec's client_data becomes this object: an access function already in
    // place that needs its own state derives it from this class. Does nothing
    // for a decompressor without whole-image arrays, or where the library's
    // private layout that leads to them is not the checked one.
    void Start(jpeg_decompress_struct* codec);

  private:
    using Access = decltype(jpeg_memory_mgr::access_virt_barray);
    static JBLOCKARRAY AccessAndRelease(j_common_ptr common, jvirt_barray_ptr array,
                                        JDIMENSION start, JDIMENSION count, boolean writable);

    // One array: the rows of its last read and what is passed but not yet
    // given back, [pendingBegin, pendingEnd), less than a page.
    struct Rows {
        jvirt_barray_ptr array = nullptr;
        uint64_t rowBytes = 0;
        JBLOCKARRAY rows = nullptr;  // the library's table: rows[i] is block row start + i
        JDIMENSION start = 0;
        JDIMENSION count = 0;
        uintptr_t pendingBegin = 0;
        uintptr_t pendingEnd = 0;
    };
    void Passed(Rows& rows, JBLOCKROW row);

    Access previous_ = nullptr;
    std::array<Rows, MAX_COMPONENTS> arrays_{};
};

// Bytes given back so far by every decompressor of the process, for tests.
uint64_t ReleasedCoefficientBytes();

}  // namespace tessarin::jpeg
