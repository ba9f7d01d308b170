// TIFF's LZW written without libtiff's encoder, which hashes every byte
// into a small table and takes most of a large LZW file's cut: here the
// string table is indexed directly by code and byte. The codes are the ones
// libtiff writes (9 to 12 bits, most significant bit first, widened one
// code early, cleared when the table fills), so any TIFF reader decodes
// them; only libtiff's optional early clears, when compression falls off,
// are not made.

#include <cstring>
#include <memory>

#include "imaging/tiff/tiff_private.h"

namespace tessarin::tiff {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirst = 258;
constexpr unsigned kFull = 4094;  // the table is cleared when its next code would be this
constexpr int kMinBits = 9;

// The string table: the code of string `code` followed by byte `c` at
// [code * 256 + c], 0 when there is none; with the places filled, to empty
// them again at a clear without touching the rest.
struct Table {
    uint16_t next[4096 * 256];
    uint32_t filled[4096];
    unsigned count = 0;
    void Clear() {
        for (unsigned i = 0; i < count; ++i) next[filled[i]] = 0;
        count = 0;
    }
};

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(unsigned code, int bits) {
        data_ = (data_ << bits) | code;
        count_ += bits;
        while (count_ >= 8) {
            count_ -= 8;
            out_.push_back(static_cast<uint8_t>(data_ >> count_));
        }
    }
    void Finish() {
        if (count_ > 0) out_.push_back(static_cast<uint8_t>(data_ << (8 - count_)));
    }

  private:
    std::vector<uint8_t>& out_;
    uint64_t data_ = 0;
    int count_ = 0;
};

}  // namespace

bool EncodeLzw(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    thread_local std::unique_ptr<Table> held;
    if (!held) {
        held.reset(new (std::nothrow) Table);
        if (!held) return false;
        std::memset(held->next, 0, sizeof held->next);
    }
    Table& table = *held;
    out.clear();
    out.reserve(size + size / 2 + 16);
    BitWriter writer(out);
    int bits = kMinBits;
    unsigned top = (1u << bits) - 1;  // the last code `bits` can write
    unsigned free = kFirst;
    writer.Put(kClear, bits);
    if (size > 0) {
        unsigned code = data[0];
        for (size_t i = 1; i < size; ++i) {
            const unsigned index = (code << 8) | data[i];
            if (const unsigned found = table.next[index]) {
                code = found;
                continue;
            }
            writer.Put(code, bits);
            table.next[index] = static_cast<uint16_t>(free++);
            table.filled[table.count++] = index;
            code = data[i];
            if (free == kFull) {
                writer.Put(kClear, bits);
                table.Clear();
                free = kFirst;
                bits = kMinBits;
                top = (1u << bits) - 1;
            } else if (free > top) {
                ++bits;
                top = (1u << bits) - 1;
            }
        }
        // The last code: a reader adds a string for it too, and may widen.
        writer.Put(code, bits);
        if (++free == kFull) {
            writer.Put(kClear, bits);
            bits = kMinBits;
        } else if (free > top) {
            ++bits;
        }
        table.Clear();
    }
    writer.Put(kEnd, bits);
    writer.Finish();
    return true;
}

void DifferenceRows(uint8_t* rows, uint32_t count, uint64_t rowBytes, int bits, int step) {
    for (uint32_t r = 0; r < count; ++r) {
        uint8_t* row = rows + rowBytes * r;
        if (bits == 8) {
            for (uint64_t i = rowBytes; i-- > static_cast<uint64_t>(step);)
                row[i] = static_cast<uint8_t>(row[i] - row[i - static_cast<uint64_t>(step)]);
        } else {
            const uint64_t values = rowBytes / 2;
            for (uint64_t i = values; i-- > static_cast<uint64_t>(step);) {
                uint16_t value, before;
                std::memcpy(&value, row + 2 * i, 2);
                std::memcpy(&before, row + 2 * (i - static_cast<uint64_t>(step)), 2);
                value = static_cast<uint16_t>(value - before);
                std::memcpy(row + 2 * i, &value, 2);
            }
        }
    }
}

}  // namespace tessarin::tiff
