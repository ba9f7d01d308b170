#pragma once
// A long read of a file that its caller follows and may end early: the
// reader asks between its steps (rows, bands, scans) whether to go on, and
// tells how far it has come.

#include <cstdint>

namespace tessarin {

class ReadWatch {
  public:
    virtual ~ReadWatch() = default;
    // True ends the read at its next step: it then fails, and the caller,
    // who asked, knows why.
    virtual bool StopRequested() const = 0;
    // `done` of `total` steps of the read are behind it. Called often, on
    // the reading thread: it must be cheap.
    virtual void ReadProgress(int64_t done, int64_t total) const {
        (void)done;
        (void)total;
    }
};

}  // namespace tessarin
