// TIFF's LZW written without libtiff's encoder, which hashes every byte
// into a small table and takes most of a large LZW file's cut: here the
// string table is indexed directly by code and byte. The codes are the ones
// libtiff writes (9 to 12 bits, most significant bit first, widened one
// code early, cleared when the table fills), so any TIFF reader decodes
// them; only libtiff's optional early clears, when compression falls off,
// are not made.

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/tiff/tiff_private.h"

namespace tessarin::tiff {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirst = 258;
constexpr unsigned kFull = 4094;  // the table is cleared when its next code would be this
constexpr int kMinBits = 9;

// The string table: the code of string `code` followed by byte `c`, kept
// under the key code * 256 + c in a hash table small enough to stay in the
// processor's nearest caches (a quarter full at most), with the slots
// filled, to empty them again at a clear without touching the rest.
struct Table {
    static constexpr unsigned kSlotBits = 14;
    uint32_t slots[1u << kSlotBits];  // key << 12 | code; 0 when empty
    uint16_t filled[4096];
    unsigned count = 0;
    static unsigned SlotOf(uint32_t key) { return (key * 2654435761u) >> (32 - kSlotBits); }
    void Clear() {
        for (unsigned i = 0; i < count; ++i) slots[filled[i]] = 0;
        count = 0;
    }
};

// Codes into bytes, most significant bit first.
class BitWriter {
  public:
    explicit BitWriter(uint8_t* out) : out_(out) {}
    void Put(unsigned code, int bits) {
        data_ = (data_ << bits) | code;
        count_ += bits;
        while (count_ >= 8) {
            count_ -= 8;
            *out_++ = static_cast<uint8_t>(data_ >> count_);
        }
    }
    uint8_t* Finish() {
        if (count_ > 0) *out_++ = static_cast<uint8_t>(data_ << (8 - count_));
        return out_;
    }

  private:
    uint8_t* out_;
    uint64_t data_ = 0;
    int count_ = 0;
};

}  // namespace

bool EncodeLzw(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    thread_local std::unique_ptr<Table> held;
    if (!held) {
        held.reset(new (std::nothrow) Table);
        if (!held) return false;
        std::memset(held->slots, 0, sizeof held->slots);
    }
    Table& table = *held;
    // At most a code of 12 bits a byte, and a clear for every 3836 codes.
    out.resize(size + size / 2 + size / 1024 + 16);
    BitWriter writer(out.data());
    int bits = kMinBits;
    unsigned top = (1u << bits) - 1;  // the last code `bits` can write
    unsigned free = kFirst;
    writer.Put(kClear, bits);
    if (size > 0) {
        unsigned code = data[0];
        for (size_t i = 1; i < size; ++i) {
            const uint32_t key = (code << 8) | data[i];
            unsigned slot = Table::SlotOf(key);
            bool found = false;
            for (uint32_t entry; (entry = table.slots[slot]) != 0;
                 slot = (slot + 1) & ((1u << Table::kSlotBits) - 1))
                if (entry >> 12 == key) {
                    code = entry & 0xFFF;
                    found = true;
                    break;
                }
            if (found) continue;
            writer.Put(code, bits);
            table.slots[slot] = (key << 12) | free++;
            table.filled[table.count++] = static_cast<uint16_t>(slot);
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
    out.resize(static_cast<size_t>(writer.Finish() - out.data()));
    return true;
}

void DifferenceRows(uint8_t* rows, uint32_t count, uint64_t rowBytes, int bits, int step) {
    // Each row is copied first, so that the differences are taken forward
    // from the copy, which the compiler vectorises.
    std::vector<uint8_t> copy(rowBytes);
    const auto bytes = static_cast<uint64_t>(step) * static_cast<unsigned>(bits / 8);
    for (uint32_t r = 0; r < count; ++r) {
        uint8_t* __restrict row = rows + rowBytes * r;
        const uint8_t* __restrict from = copy.data();
        std::memcpy(copy.data(), row, rowBytes);
        if (bits == 8) {
            for (uint64_t i = bytes; i < rowBytes; ++i)
                row[i] = static_cast<uint8_t>(from[i] - from[i - bytes]);
        } else {
            for (uint64_t i = bytes; i + 1 < rowBytes; i += 2) {
                uint16_t value, before;
                std::memcpy(&value, from + i, 2);
                std::memcpy(&before, from + i - bytes, 2);
                value = static_cast<uint16_t>(value - before);
                std::memcpy(row + i, &value, 2);
            }
        }
    }
}

}  // namespace tessarin::tiff
