#pragma once
// The tile names each file of a run has written, so that a later file whose
// tiles would take some of them fails instead of mixing its tiles with the
// earlier file's: two photos named p1.jpg from two folders, cut into one
// output folder, would otherwise leave p1_1_* of one and p1_2_* of the other.
// The same source cut again takes its own names back.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessarin {

class TileNameLedger {
  public:
    // Claims `names` (file names in `folder`) for the file at `source`. When
    // one of them is held by another source, nothing is claimed, that
    // source's path is put in `holder` and false is returned.
    [[nodiscard]] bool Claim(const std::string& folder, const std::vector<std::string>& names,
                             const std::string& source, std::string& holder);

  private:
    std::mutex mutex_;
    // Names as 64-bit hashes of the whole path (a clash of two hashes among
    // a run's millions of tiles is too unlikely to matter), each with its
    // source's index in sources_.
    std::unordered_map<uint64_t, uint32_t> names_;
    std::vector<std::string> sources_;                      // as given, for the message
    std::unordered_map<std::string, uint32_t> identities_;  // canonical path: index
};

// The same file, however it is named: `a` and `b` made canonical (links and
// "." and ".." resolved) where they exist, compared as text otherwise.
bool SameSourcePath(const std::string& a, const std::string& b);

// The canonical form SameSourcePath compares.
std::string SourceIdentity(const std::string& path);

}  // namespace tessarin
