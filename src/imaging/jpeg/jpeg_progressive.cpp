// Progressive JPEG files on two threads.
//
// A progressive file spends nearly all of its decoding time in the entropy
// decoding of its scans, which the library does on one thread before the
// first row comes out. The AC scans each hold one component, and none
// depends on the DC coefficients or on another component's scans. So the DC
// scans and the first component's AC scans go to one decompressor and the
// other components' AC scans to a second, each given every other marker of
// the file in order, and both run at once. The image's coefficients are held
// once, as by a single decompressor: the first component's in the first
// decompressor's array, the others' in the second's, which the first reaches
// for the DC scans and for the rows; the arrays neither touches are reserved
// but never take memory. The first makes the rows from the complete set
// exactly as a single decompressor would have, reading its last scan as the
// rows are asked for: the rows of the image come while it is read, and the
// split cuts tiles meanwhile.
//
// Both write into the same blocks at once, the first only coefficient 0, the
// second only the others. The library zeroes an array's rows the first time
// they are reached, so the second zeroes its arrays before it reads a scan,
// telling the first how far it got, and the first reaches them only through
// the table of their rows the second makes, never through the second's
// memory manager. The arrays are found in the coefficient controller, which
// the library keeps private: this runs only with the libjpeg-turbo versions
// whose layout of it was checked (jpeg_library_check.h), and any other
// library decodes on one thread.

#include "imaging/jpeg/jpeg_progressive.h"

#include <jerror.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "imaging/jpeg/jpeg_library_check.h"
#include "imaging/reduced_picture.h"
#ifdef TESSARIN_JPEG_LAYOUT_VERIFIED
#include <jpegint.h>
#endif

namespace tessarin::jpeg {

namespace {

// The parts of the file each decompressor reads, in file order: everything
// but the scans that go to the other.
using Segments = std::vector<std::pair<uint64_t, uint64_t>>;  // [begin, end) offsets
struct SplitStreams {
    Segments first;   // the DC scans and the first component's AC scans
    Segments others;  // the other components' AC scans
    int firstScans = 0;
};

// The file read a chunk at a time for the split: it is never held whole.
class FileWindow {
  public:
    explicit FileWindow(const SourceFile& file) : file_(file), size_(file.Size()) {}
    uint64_t Size() const { return size_; }

    // The byte at `pos`; -1 past the end or when the read fails.
    int At(uint64_t pos) {
        if (!Holds(pos) && !Load(pos)) return -1;
        return bytes_[pos - start_];
    }

    // Where the first 0xFF at or after `pos` is; Size() when there is none.
    uint64_t NextFF(uint64_t pos) {
        while (pos < size_) {
            if (!Holds(pos) && !Load(pos)) return size_;
            const size_t from = static_cast<size_t>(pos - start_);
            const void* mark = std::memchr(bytes_.data() + from, 0xFF, length_ - from);
            if (mark)
                return pos + static_cast<uint64_t>(static_cast<const uint8_t*>(mark) -
                                                   (bytes_.data() + from));
            pos = start_ + length_;
        }
        return size_;
    }

  private:
    bool Holds(uint64_t pos) const { return pos >= start_ && pos - start_ < length_; }
    bool Load(uint64_t pos) {
        length_ = 0;
        if (pos >= size_) return false;
        start_ = pos;
        length_ = file_.ReadSomeAt(pos, bytes_.data(), bytes_.size());
        return length_ > 0;
    }

    static constexpr size_t kChunk = size_t{1} << 20;
    const SourceFile& file_;
    uint64_t size_;
    std::vector<uint8_t> bytes_ = std::vector<uint8_t>(kChunk);
    uint64_t start_ = 0;
    size_t length_ = 0;
};

// Where the entropy-coded data that starts at `pos` ends: at the first marker
// other than a restart marker (0xFF 0x00 is a stuffed 0xFF). The file's size
// when it ends first.
uint64_t EndOfScanData(FileWindow& file, uint64_t pos) {
    while (true) {
        pos = file.NextFF(pos);
        const int next = file.At(pos + 1);
        if (next < 0) return file.Size();
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            pos += 2;
        else if (next == 0xFF)
            ++pos;  // a fill byte before the marker
        else
            return pos;
    }
}

// Splits a progressive file's scans between the two streams. False for
// anything else, or anything unusual: a file cut short, more scans than the
// limit, a DNL marker, an AC scan of several components, or a component first
// seen in an AC scan (the first decompressor would then take that component's
// quantisation table elsewhere than a single one does, and the second would
// not see its DC scan first). Such a file is decoded the usual way.
bool SplitScans(FileWindow& file, SplitStreams& out) {
    const uint64_t size = file.Size();
    if (file.At(0) != 0xFF || file.At(1) != 0xD8) return false;
    const auto append = [&](uint64_t begin, uint64_t end, bool first, bool others) {
        if (first) out.first.emplace_back(begin, end);
        if (others) out.others.emplace_back(begin, end);
    };
    append(0, 2, true, true);
    int firstId = -1;
    int scans = 0;
    bool seen[256] = {};
    uint64_t pos = 2;
    while (true) {
        if (file.At(pos) != 0xFF) return false;
        while (file.At(pos) == 0xFF) ++pos;
        const int marker = file.At(pos);
        if (marker < 0) return false;
        const uint64_t begin = pos - 1;
        ++pos;
        if (marker == 0xD9) {  // end of image
            append(begin, pos, true, true);
            return firstId >= 0 && scans > 0;
        }
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 ||
            (marker >= 0xD0 && marker <= 0xD7))
            return false;
        const int high = file.At(pos);
        const int low = file.At(pos + 1);
        if (high < 0 || low < 0) return false;
        const uint64_t length = uint64_t(high) << 8 | uint64_t(low);
        if (length < 2 || length > size - pos) return false;
        const uint64_t end = pos + length;
        // The bytes of this segment's header; -1 past its end.
        const auto field = [&](uint64_t at) { return at < length ? file.At(pos + at) : -1; };
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            // Progressive frames only (Huffman or arithmetic coded), once.
            if ((marker != 0xC2 && marker != 0xCA) || firstId >= 0 || length < 9) return false;
            const int components = field(7);
            if (components < 2 || length < 8 + 3 * uint64_t(components)) return false;
            firstId = field(8);
            if (firstId < 0) return false;
            append(begin, end, true, true);
        } else if (marker == 0xDA) {  // a scan: its header, then its data
            if (firstId < 0 || length < 3) return false;
            const int components = field(2);
            if (components <= 0 || length < 6 + 2 * uint64_t(components)) return false;
            const int selectionStart = field(3 + 2 * uint64_t(components));
            if (selectionStart < 0) return false;
            const bool dc = selectionStart == 0;
            if (!dc && components != 1) return false;
            for (int i = 0; i < components; ++i) {
                const int id = field(3 + 2 * uint64_t(i));
                if (id < 0) return false;
                bool& known = seen[id];
                if (!known && !dc) return false;
                known = true;
            }
            const bool first = dc || field(3) == firstId;
            const uint64_t dataEnd = EndOfScanData(file, end);
            if (dataEnd >= size || ++scans > kMaxScans) return false;
            append(begin, dataEnd, first, !first);
            if (first) ++out.firstScans;
            pos = dataEnd;
            continue;
        } else if (marker == 0xDC) {  // DNL: the height given after the data
            return false;
        } else {
            append(begin, end, true, true);
        }
        pos = end;
    }
}

// A source that reads the segments of the file one after the other, a
// buffer at a time.
struct SegmentSource {
    jpeg_source_mgr pub;  // first member: libjpeg sees a jpeg_source_mgr*
    SourceFilePtr file;
    Segments segments;
    size_t next = 0;  // the next segment to start
    uint64_t at = 0;  // what is left of the current one
    uint64_t end = 0;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(size_t{64} << 10);
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr codec) {
    auto* source = reinterpret_cast<SegmentSource*>(codec->src);
    while (source->at == source->end && source->next < source->segments.size()) {
        source->at = source->segments[source->next].first;
        source->end = source->segments[source->next].second;
        ++source->next;
    }
    if (source->at < source->end) {
        const size_t want = static_cast<size_t>(
            std::min<uint64_t>(source->end - source->at, source->buffer.size()));
        const size_t got = source->file->ReadSomeAt(source->at, source->buffer.data(), want);
        if (got > 0) {
            source->at += got;
            source->pub.next_input_byte = source->buffer.data();
            source->pub.bytes_in_buffer = got;
            return TRUE;
        }
        // The file became shorter: nothing more is read from it.
        source->at = source->end;
        source->next = source->segments.size();
    }
    // Past the end (never for a file that parsed and did not change): an end
    // of image, as the library's own sources insert.
    static const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};
    source->pub.next_input_byte = kEndOfImage;
    source->pub.bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void SkipInput(j_decompress_ptr codec, long count) {
    jpeg_source_mgr* source = codec->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        FillInput(codec);
    }
    if (count > 0) {
        source->next_input_byte += count;
        source->bytes_in_buffer -= static_cast<size_t>(count);
    }
}

// Gives `decoder` a source over `segments` of `file`, owned by the decoder.
void AttachSource(JpegDecoder* decoder, SourceFilePtr file, Segments segments) {
    auto source = std::make_shared<SegmentSource>();
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = FillInput;
    source->pub.skip_input_data = SkipInput;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->file = std::move(file);
    source->segments = std::move(segments);
    decoder->codec.src = &source->pub;
    decoder->input = std::move(source);
}

// The rows of an array as the library allocates it: padded to whole MCUs.
JDIMENSION ArrayRows(const jpeg_component_info& c) {
    return static_cast<JDIMENSION>(RoundUp(c.height_in_blocks, Factor(c.v_samp_factor)));
}

// The second decompressor's block rows of components 1.., for the first;
// `ready[ci]` says how many are zeroed and listed (kAbandoned: none will be).
// The first's client_data is this as its CoefficientRelease, which gives the
// rows of its one output pass back behind it.
struct SharedRows : CoefficientRelease {
    static constexpr JDIMENSION kAbandoned = ~JDIMENSION{0};
    std::array<std::vector<JBLOCKROW>, MAX_COMPONENTS> rows;
    std::array<std::atomic<JDIMENSION>, MAX_COMPONENTS> ready{};
    // The first's memory manager's own access, for its first component.
    decltype(jpeg_memory_mgr::access_virt_barray) access = nullptr;

    void Abandon() {
        for (std::atomic<JDIMENSION>& count : ready) {
            count.store(kAbandoned, std::memory_order_release);
            count.notify_all();
        }
    }
};

// The first decompressor's access to its arrays: those of components 1.. are
// the second's rows, once the second has zeroed them. Its own arrays of
// those components are never touched.
JBLOCKARRAY AccessSharedRows(j_common_ptr common, jvirt_barray_ptr array, JDIMENSION start,
                             JDIMENSION count, boolean writable) {
    auto* shared = static_cast<SharedRows*>(static_cast<CoefficientRelease*>(common->client_data));
    auto* codec = reinterpret_cast<j_decompress_ptr>(common);
    if (jvirt_barray_ptr* own = CoefficientArrays(codec)) {
        for (int ci = 1; ci < codec->num_components && ci < MAX_COMPONENTS; ++ci) {
            if (own[ci] != array) continue;
            const auto index = static_cast<size_t>(ci);
            std::vector<JBLOCKROW>& rows = shared->rows[index];
            if (start > rows.size() || count > rows.size() - start) break;
            std::atomic<JDIMENSION>& ready = shared->ready[index];
            JDIMENSION have = ready.load(std::memory_order_acquire);
            while (have < start + count) {
                ready.wait(have, std::memory_order_acquire);
                have = ready.load(std::memory_order_acquire);
            }
            if (have == SharedRows::kAbandoned) ERREXIT(common, JERR_BAD_VIRTUAL_ACCESS);
            return rows.data() + start;
        }
    }
    return shared->access(common, array, start, count, writable);
}

// The stages below arm the recovery point and hold plain data only.

// Reads the header from the decoder's source.
bool OpenStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jpeg_read_header(codec, TRUE);
    ChooseOutputSpace(codec);
    jpeg_calc_output_dimensions(codec);
    return true;
}

// A decompressor started in buffered-image mode: its arrays are made, no scan
// is read yet. Block smoothing, which the library applies only to an image
// whose coefficients are incomplete, is off: the first decompressor's record
// of the other components' coefficients stays incomplete.
bool StartBufferedStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    codec->buffered_image = TRUE;
    codec->do_block_smoothing = FALSE;
    jpeg_start_decompress(codec);
    return true;
}

// Zeroes the second decompressor's arrays of components 1.. (`rows[ci]` sized
// beforehand to ArrayRows) and lists their rows for the first, in the order
// the first one's DC scans reach them.
bool ShareStage(JpegDecoder* decoder, SharedRows* shared) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jvirt_barray_ptr* arrays = CoefficientArrays(codec);
    if (!arrays) return false;
    auto* common = reinterpret_cast<j_common_ptr>(codec);
    for (JDIMENSION row = 0; row < codec->total_iMCU_rows; ++row) {
        for (int ci = 1; ci < codec->num_components; ++ci) {
            const auto index = static_cast<size_t>(ci);
            JBLOCKROW* rows = shared->rows[index].data();
            const JDIMENSION count = ArrayRows(codec->comp_info[ci]);
            const JDIMENSION per = Factor(codec->comp_info[ci].v_samp_factor);
            const JDIMENSION end =
                row + 1 == codec->total_iMCU_rows ? count : std::min(count, (row + 1) * per);
            for (JDIMENSION r = row * per; r < end; ++r)
                rows[r] = codec->mem->access_virt_barray(common, arrays[ci], r, 1, TRUE)[0];
            if (row * per < end) {
                shared->ready[index].store(end, std::memory_order_release);
                shared->ready[index].notify_all();
            }
        }
    }
    return true;
}

// Reads the scans of a decompressor's stream up to the start of scan `last`
// (0: to the end of the image).
bool ConsumeStage(JpegDecoder* decoder, int last) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    while (last == 0 || codec->input_scan_number < last) {
        const int status = jpeg_consume_input(codec);
        if (status == JPEG_REACHED_EOI) return last == 0;
        if (status == JPEG_SUSPENDED) return false;
    }
    return true;
}

// Reads on like ConsumeStage, but stops at the end of the first scan after
// which every component's DC coefficients are known (`*known` is then set).
bool ConsumeUntilDcStage(JpegDecoder* decoder, int last, bool* known) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    while (codec->input_scan_number < last) {
        const int status = jpeg_consume_input(codec);
        if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED) return false;
        if (status != JPEG_SCAN_COMPLETED || !codec->coef_bits) continue;
        bool all = true;
        for (int c = 0; c < codec->num_components; ++c) all = all && codec->coef_bits[c][0] >= 0;
        if (all) {
            *known = true;
            return true;
        }
    }
    return true;
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The picture at 1/8 from the DC coefficients alone: each block's average,
// colour converted as the library converts YCbCr (or RGB-coded) samples.
// `out` holds ceil(width / 8) x ceil(height / 8) pixels of blue, green, red.
bool DcPictureStage(JpegDecoder* decoder, uint8_t* out, int width, int height) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jvirt_barray_ptr* arrays = CoefficientArrays(codec);
    const int components = codec->num_components;
    if (!arrays || components != 3) return false;
    int quant[3];
    for (int c = 0; c < 3; ++c) {
        const JQUANT_TBL* table = codec->comp_info[c].quant_table;
        if (!table) return false;
        quant[c] = table->quantval[0];
    }
    const bool ycc = codec->jpeg_color_space == JCS_YCbCr;
    const int hmax = codec->max_h_samp_factor, vmax = codec->max_v_samp_factor;
    JBLOCKROW rows[3];
    for (int y = 0; y < height; ++y) {
        for (int c = 0; c < 3; ++c) {
            const jpeg_component_info& info = codec->comp_info[c];
            const auto blockRow = static_cast<JDIMENSION>(y * info.v_samp_factor / vmax);
            rows[c] = (*codec->mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(codec),
                                                        arrays[c], blockRow, 1, FALSE)[0];
        }
        uint8_t* pixel = out + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
        for (int x = 0; x < width; ++x, pixel += 3) {
            int v[3];
            for (int c = 0; c < 3; ++c) {
                const int block = x * codec->comp_info[c].h_samp_factor / hmax;
                const int dc = rows[c][block][0] * quant[c];
                v[c] = 128 + (dc >= 0 ? (dc + 4) / 8 : -((-dc + 4) / 8));
            }
            if (ycc) {
                const double luma = Clamp(v[0]), cb = Clamp(v[1]) - 128.0, cr = Clamp(v[2]) - 128.0;
                pixel[0] = Clamp(static_cast<int>(luma + 1.772 * cb + 0.5));
                pixel[1] = Clamp(static_cast<int>(luma - 0.344136 * cb - 0.714136 * cr + 0.5));
                pixel[2] = Clamp(static_cast<int>(luma + 1.402 * cr + 0.5));
            } else {
                pixel[0] = Clamp(v[2]);
                pixel[1] = Clamp(v[1]);
                pixel[2] = Clamp(v[0]);
            }
        }
    }
    return true;
}

// Reads the first decompressor's scans up to its last; on the way, when
// the load's watch wants an early picture, the picture of the DC
// coefficients is offered as soon as they are all read.
bool ConsumeFirstScans(JpegDecoder* decoder, int last, const ReadWatch* watch) {
    const ReadWatch* sink = watch && watch->WantsPreview() ? watch : nullptr;
    jpeg_decompress_struct& codec = decoder->codec;
    const bool colours = codec.jpeg_color_space == JCS_YCbCr || codec.jpeg_color_space == JCS_RGB;
    if (!sink || !colours) return ConsumeStage(decoder, last);
    bool known = false;
    if (!ConsumeUntilDcStage(decoder, last, &known)) return false;
    if (known) {
        const auto width = static_cast<int>(codec.image_width);
        const auto height = static_cast<int>(codec.image_height);
        std::shared_ptr<ReducedPicture> picture = ReducedPicture::Make(width, height, 8);
        if (picture &&
            DcPictureStage(decoder, picture->Row(0), picture->Width(), picture->Height())) {
            picture->SetRowsDone(picture->Height());
            sink->OfferPreview(std::move(picture));
        }
    }
    return ConsumeStage(decoder, last);
}

// Whether coefficients [from, to) of `component` came to their full
// precision: a single decompressor would otherwise have smoothed its blocks.
bool Complete(const jpeg_decompress_struct& codec, int component, int from, int to) {
    if (!codec.coef_bits) return false;
    for (int k = from; k < to; ++k)
        if (codec.coef_bits[component][k] != 0) return false;
    return true;
}

// The second decompressor's whole work, on its thread: true when it read
// every AC coefficient of its components into the shared rows, from data
// that showed no damage.
bool ReadOtherComponents(JpegDecoder* decoder, SharedRows* shared) {
    const bool shareable = StartBufferedStage(decoder) && ShareStage(decoder, shared);
    if (!shareable) shared->Abandon();
    if (!shareable || !ConsumeStage(decoder, 0) || decoder->errors.damaged) return false;
    for (int ci = 1; ci < decoder->codec.num_components; ++ci)
        if (!Complete(decoder->codec, ci, 1, DCTSIZE2)) return false;
    return true;
}

// The second decompressor and the table of its rows, kept while the first
// makes rows from them.
struct SharedStore {
    SharedRows shared;
    DecoderPointer others;
};

// The second decompressor's work, on a thread of the run's runner when it
// gives one, else on one of its own; waited for before it goes.
class OtherComponents {
  public:
    OtherComponents(std::shared_ptr<SharedStore> store, TaskRunner* runner) {
        auto work = [this, store = std::move(store)] {
            read_ = ReadOtherComponents(store->others.get(), &store->shared);
            done_.store(true, std::memory_order_release);
            done_.notify_all();
        };
        if (!runner || !runner->Run(work)) own_ = std::jthread(std::move(work));
    }
    ~OtherComponents() { Wait(); }
    OtherComponents(const OtherComponents&) = delete;
    OtherComponents& operator=(const OtherComponents&) = delete;

    // Whether it read every AC coefficient of its components (see
    // ReadOtherComponents), once it has ended.
    bool Wait() {
        done_.wait(false, std::memory_order_acquire);
        return read_;
    }

  private:
    std::atomic<bool> done_{false};
    bool read_ = false;
    std::jthread own_;
};

bool StartOutputStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    return jpeg_start_output(&decoder->codec, decoder->codec.input_scan_number) != FALSE;
}

// Whether both decompressors' components have the same blocks.
bool SameBlocks(const jpeg_decompress_struct& a, const jpeg_decompress_struct& b) {
    if (a.num_components != b.num_components || a.num_components > MAX_COMPONENTS) return false;
    for (int ci = 0; ci < a.num_components; ++ci) {
        const jpeg_component_info& x = a.comp_info[ci];
        const jpeg_component_info& y = b.comp_info[ci];
        if (x.width_in_blocks != y.width_in_blocks || x.height_in_blocks != y.height_in_blocks ||
            x.h_samp_factor != y.h_samp_factor || x.v_samp_factor != y.v_samp_factor)
            return false;
    }
    return true;
}

}  // namespace

jvirt_barray_ptr* CoefficientArrays(jpeg_decompress_struct* codec) {
#ifdef TESSARIN_JPEG_LAYOUT_VERIFIED
    return codec->coef ? codec->coef->coef_arrays : nullptr;
#else
    (void)codec;
    return nullptr;
#endif
}

bool SameHeader(const jpeg_decompress_struct& first, const jpeg_decompress_struct& again,
                bool rows) {
    if (first.image_width != again.image_width || first.image_height != again.image_height ||
        first.num_components != again.num_components ||
        first.data_precision != again.data_precision ||
        first.progressive_mode != again.progressive_mode || !first.comp_info || !again.comp_info)
        return false;
    for (int ci = 0; ci < first.num_components; ++ci) {
        const jpeg_component_info& a = first.comp_info[ci];
        const jpeg_component_info& b = again.comp_info[ci];
        if (a.component_id != b.component_id || a.h_samp_factor != b.h_samp_factor ||
            a.v_samp_factor != b.v_samp_factor)
            return false;
    }
    return !rows ||
           (first.jpeg_color_space == again.jpeg_color_space &&
            first.out_color_space == again.out_color_space &&
            first.out_color_components == again.out_color_components &&
            first.output_components == again.output_components &&
            first.output_width == again.output_width && first.output_height == again.output_height);
}

ProgressiveStart StartProgressiveOnTwoThreads(const SourceFile& source,
                                              const jpeg_decompress_struct& header,
                                              const ReadWatch* watch, TaskRunner* runner) {
    try {
        if (!header.progressive_mode || header.num_components < 2 || !PrivateLayoutVerified())
            return {};
        SplitStreams streams;
        {
            FileWindow window(source);
            if (!SplitScans(window, streams)) return {};
        }

        DecoderPointer first = NewDecoder();
        DecoderPointer others = NewDecoder();
        if (!first || !others || !CreateStage(first.get()) || !CreateStage(others.get())) return {};
        first->scanLimit.watch = watch;
        others->scanLimit.watch = watch;
        // As much memory as the decoder that read the header may take (more
        // than the usual limit where a banded split allows it).
        first->codec.mem->max_memory_to_use = header.mem->max_memory_to_use;
        others->codec.mem->max_memory_to_use = header.mem->max_memory_to_use;
        const SourceFilePtr file = source.shared_from_this();
        AttachSource(first.get(), file, std::move(streams.first));
        AttachSource(others.get(), file, std::move(streams.others));
        if (!OpenStage(first.get()) || !OpenStage(others.get())) return {};
        // The rows come out of the first decoder into what `header` sized;
        // the second writes into the first's arrays. The second may meet
        // markers between the scans before its own first scan, so only its
        // frame must be the same.
        if (!SameHeader(header, first->codec, true) || !SameHeader(header, others->codec, false)) {
            ProgressiveStart changed;
            changed.changed = true;
            return changed;
        }
        if (!SameBlocks(first->codec, others->codec) || !StartBufferedStage(first.get())) return {};
        auto store = std::make_shared<SharedStore>();
        SharedRows& shared = store->shared;
        for (int ci = 1; ci < first->codec.num_components; ++ci)
            shared.rows[static_cast<size_t>(ci)].resize(ArrayRows(first->codec.comp_info[ci]));
        shared.access = first->codec.mem->access_virt_barray;
        first->codec.client_data = static_cast<CoefficientRelease*>(&shared);
        first->codec.mem->access_virt_barray = AccessSharedRows;
        store->others = std::move(others);

        // Declared after the first decoder: whichever way this ends, the
        // thread that writes into the rows it reads is done before it goes.
        OtherComponents helper(store, runner);
        // The first decoder's last scan is read as the rows are.
        const bool firstRead = ConsumeFirstScans(first.get(), streams.firstScans, watch);
        const bool othersRead = helper.Wait();
        // Damage is left to the usual decode, which meets it where a single
        // decompressor would and reports it so.
        if (!firstRead || !othersRead || first->errors.damaged ||
            !Complete(first->codec, 0, 0, DCTSIZE2))
            return {};
        for (int ci = 1; ci < first->codec.num_components; ++ci)
            if (!Complete(first->codec, ci, 0, 1)) return {};
        if (!StartOutputStage(first.get())) return {};
        // Its only output pass now starts, and reads its last scan as it goes:
        // the library reads each iMCU row of that scan before the rows made
        // from it, so the input keeps ahead of what the output has passed.
        shared.Start(&first->codec);
        ProgressiveStart start;
        start.storage = std::move(store);
        start.decoder = std::move(first);
        return start;
    } catch (...) {
        return {};  // out of memory, or no thread: the usual decode takes over
    }
}

}  // namespace tessarin::jpeg
