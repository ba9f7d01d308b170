#include "split/tile_name_ledger.h"

#include <filesystem>
#include <functional>

namespace tessarin {

namespace fs = std::filesystem;

std::string SourceIdentity(const std::string& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? path : canonical.string();
}

bool SameSourcePath(const std::string& a, const std::string& b) {
    return a == b || SourceIdentity(a) == SourceIdentity(b);
}

bool TileNameLedger::Claim(const std::string& folder, const std::vector<std::string>& names,
                           const std::string& source, std::string& holder) {
    const std::string identity = SourceIdentity(source);
    const std::string place = SourceIdentity(folder) + "/";
    std::vector<uint64_t> hashes;
    hashes.reserve(names.size());
    for (const std::string& name : names) hashes.push_back(std::hash<std::string>{}(place + name));

    std::lock_guard<std::mutex> lock(mutex_);
    const auto known = identities_.find(identity);
    const uint32_t index =
        known != identities_.end() ? known->second : static_cast<uint32_t>(sources_.size());
    for (uint64_t hash : hashes) {
        const auto found = names_.find(hash);
        if (found != names_.end() && found->second != index) {
            holder = sources_[found->second];
            return false;
        }
    }
    if (known == identities_.end()) {
        identities_.emplace(identity, index);
        sources_.push_back(source);
    }
    for (uint64_t hash : hashes) names_[hash] = index;
    return true;
}

}  // namespace tessarin
