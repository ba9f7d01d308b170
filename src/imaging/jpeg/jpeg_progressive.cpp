// Progressive JPEG files on two threads.
//
// A progressive file spends nearly all of its decoding time in the entropy
// decoding of its scans, which the library does on one thread before the
// first row comes out. The AC scans each hold one component, and none
// depends on the DC coefficients or on another component's scans. So the DC
// scans and the first component's AC scans go to one decompressor and the
// other components' AC scans to a second, each given every other marker of
// the file in order; both run at once, the second's AC coefficients are
// copied into the first, and the first makes the rows from the complete set
// exactly as a single decompressor would have. The second never touches the
// first component's arrays, so beside the one full set only the other
// components' coefficients are held twice, until the copy.
//
// The first decompressor's arrays are reached through its coefficient
// controller, which the library keeps private: this runs only with the
// libjpeg-turbo versions whose layout of it was checked (jpeg_library_check.h),
// and any other library decodes on one thread.

#include "imaging/jpeg/jpeg_progressive.h"

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "imaging/checked_size.h"
#include "imaging/jpeg/jpeg_library_check.h"
#include "imaging/memory_budget.h"

#ifdef TESSARIN_JPEG_LAYOUT_VERIFIED
#include <jpegint.h>
#endif

namespace tessarin::jpeg {

namespace {

// The parts of the file each decompressor reads, in file order: everything
// but the scans that go to the other.
using Segments = std::vector<std::pair<size_t, size_t>>;  // [begin, end) offsets
struct SplitStreams {
    Segments first;   // the DC scans and the first component's AC scans
    Segments others;  // the other components' AC scans
};

// Where the entropy-coded data that starts at `pos` ends: at the first marker
// other than a restart marker (0xFF 0x00 is a stuffed 0xFF). `size` when the
// file ends first.
size_t EndOfScanData(const uint8_t* data, size_t size, size_t pos) {
    while (pos + 1 < size) {
        const void* mark = std::memchr(data + pos, 0xFF, size - pos - 1);
        if (!mark) break;
        pos = static_cast<size_t>(static_cast<const uint8_t*>(mark) - data);
        const uint8_t next = data[pos + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            pos += 2;
        else if (next == 0xFF)
            ++pos;  // a fill byte before the marker
        else
            return pos;
    }
    return size;
}

// Splits a progressive file's scans between the two streams. False for
// anything else, or anything unusual: a file cut short, more scans than the
// limit, a DNL marker, an AC scan of several components, or a component first
// seen in an AC scan (the first decompressor would then take that component's
// quantisation table elsewhere than a single one does, and the second would
// not see its DC scan first). Such a file is decoded the usual way.
bool SplitScans(const std::vector<uint8_t>& file, SplitStreams& out) {
    const uint8_t* data = file.data();
    const size_t size = file.size();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    const auto append = [&](size_t begin, size_t end, bool first, bool others) {
        if (first) out.first.emplace_back(begin, end);
        if (others) out.others.emplace_back(begin, end);
    };
    append(0, 2, true, true);
    int firstId = -1;
    int scans = 0;
    bool seen[256] = {};
    size_t pos = 2;
    while (true) {
        if (pos >= size || data[pos] != 0xFF) return false;
        while (pos < size && data[pos] == 0xFF) ++pos;
        if (pos >= size) return false;
        const uint8_t marker = data[pos];
        const size_t begin = pos - 1;
        ++pos;
        if (marker == 0xD9) {  // end of image
            append(begin, pos, true, true);
            return firstId >= 0 && scans > 0;
        }
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 ||
            (marker >= 0xD0 && marker <= 0xD7))
            return false;
        if (size - pos < 2) return false;
        const size_t length = size_t{data[pos]} << 8 | data[pos + 1];
        if (length < 2 || length > size - pos) return false;
        const size_t end = pos + length;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            // Progressive frames only (Huffman or arithmetic coded), once.
            if ((marker != 0xC2 && marker != 0xCA) || firstId >= 0 || length < 9) return false;
            const size_t components = data[pos + 7];
            if (components < 2 || length < 8 + 3 * components) return false;
            firstId = data[pos + 8];
            append(begin, end, true, true);
        } else if (marker == 0xDA) {  // a scan: its header, then its data
            if (firstId < 0 || length < 3) return false;
            const size_t components = data[pos + 2];
            if (components == 0 || length < 6 + 2 * components) return false;
            const bool dc = data[pos + 3 + 2 * components] == 0;  // spectral selection start
            if (!dc && components != 1) return false;
            for (size_t i = 0; i < components; ++i) {
                bool& known = seen[data[pos + 3 + 2 * i]];
                if (!known && !dc) return false;
                known = true;
            }
            const bool first = dc || data[pos + 3] == firstId;
            const size_t dataEnd = EndOfScanData(data, size, end);
            if (dataEnd >= size || ++scans > kMaxScans) return false;
            append(begin, dataEnd, first, !first);
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

// A source that reads the segments of the file one after the other.
struct SegmentSource {
    jpeg_source_mgr pub;  // first member: libjpeg sees a jpeg_source_mgr*
    std::shared_ptr<const std::vector<uint8_t>> file;
    Segments segments;
    size_t next = 0;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr codec) {
    auto* source = reinterpret_cast<SegmentSource*>(codec->src);
    if (source->next < source->segments.size()) {
        const auto [begin, end] = source->segments[source->next++];
        source->pub.next_input_byte = source->file->data() + begin;
        source->pub.bytes_in_buffer = end - begin;
    } else {
        // Past the end (never for a file that parsed): an end of image, as
        // the library's own sources insert.
        static const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};
        source->pub.next_input_byte = kEndOfImage;
        source->pub.bytes_in_buffer = sizeof kEndOfImage;
    }
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
void AttachSource(JpegDecoder* decoder, std::shared_ptr<const std::vector<uint8_t>> file,
                  Segments segments) {
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

// The first component's decompressor: every scan consumed, no row made yet.
// Block smoothing, which the library applies only to an image whose
// coefficients are incomplete, is off: this one's other components are
// incomplete until the copy.
bool ConsumeStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    codec->buffered_image = TRUE;
    codec->do_block_smoothing = FALSE;
    jpeg_start_decompress(codec);
    while (true) {
        const int status = jpeg_consume_input(codec);
        if (status == JPEG_REACHED_EOI) return true;
        if (status == JPEG_SUSPENDED) return false;
    }
}

// The other components' decompressor: the coefficients only.
bool CoefficientStage(JpegDecoder* decoder, jvirt_barray_ptr** arrays) {
    if (setjmp(decoder->errors.recovery)) return false;
    *arrays = jpeg_read_coefficients(&decoder->codec);
    return *arrays != nullptr;
}

// Whether coefficients [from, to) of `component` came to their full
// precision: a single decompressor would otherwise have smoothed its blocks.
bool Complete(const jpeg_decompress_struct& codec, int component, int from, int to) {
    if (!codec.coef_bits) return false;
    for (int k = from; k < to; ++k)
        if (codec.coef_bits[component][k] != 0) return false;
    return true;
}

// The first decompressor's whole-image coefficient arrays.
jvirt_barray_ptr* CoefficientArrays(jpeg_decompress_struct* codec) {
#ifdef TESSARIN_JPEG_LAYOUT_VERIFIED
    return codec->coef ? codec->coef->coef_arrays : nullptr;
#else
    (void)codec;
    return nullptr;
#endif
}

// Copies the AC coefficients of components 1.. from `from`'s arrays into
// `into`'s, block row by block row (each padded to whole MCUs, as the library
// allocates them); the DC coefficients are `into`'s own.
bool CopyStage(JpegDecoder* into, JpegDecoder* from, jvirt_barray_ptr* fromArrays) {
    if (setjmp(into->errors.recovery)) return false;
    if (setjmp(from->errors.recovery)) return false;
    jpeg_decompress_struct* target = &into->codec;
    jvirt_barray_ptr* intoArrays = CoefficientArrays(target);
    if (!intoArrays) return false;
    for (int ci = 1; ci < target->num_components; ++ci) {
        const jpeg_component_info& c = target->comp_info[ci];
        const jpeg_component_info& f = from->codec.comp_info[ci];
        if (c.width_in_blocks != f.width_in_blocks || c.height_in_blocks != f.height_in_blocks ||
            c.h_samp_factor != f.h_samp_factor || c.v_samp_factor != f.v_samp_factor)
            return false;
        const auto rows =
            static_cast<JDIMENSION>(RoundUp(c.height_in_blocks, Factor(c.v_samp_factor)));
        const auto blocks =
            static_cast<JDIMENSION>(RoundUp(c.width_in_blocks, Factor(c.h_samp_factor)));
        for (JDIMENSION r = 0; r < rows; ++r) {
            JBLOCKROW source = from->codec.mem->access_virt_barray(
                reinterpret_cast<j_common_ptr>(&from->codec), fromArrays[ci], r, 1, FALSE)[0];
            JBLOCKROW dest = target->mem->access_virt_barray(reinterpret_cast<j_common_ptr>(target),
                                                             intoArrays[ci], r, 1, TRUE)[0];
            for (JDIMENSION b = 0; b < blocks; ++b)
                std::memcpy(&dest[b][1], &source[b][1], (DCTSIZE2 - 1) * sizeof(JCOEF));
        }
    }
    return true;
}

// The coefficient bytes of every component but the first.
uint64_t OtherComponentBytes(const jpeg_decompress_struct& codec) {
    const jpeg_component_info& c = codec.comp_info[0];
    return CoefficientBytes(codec) - RoundUp(c.width_in_blocks, Factor(c.h_samp_factor)) *
                                         RoundUp(c.height_in_blocks, Factor(c.v_samp_factor)) *
                                         sizeof(JBLOCK);
}

bool StartOutputStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    return jpeg_start_output(&decoder->codec, decoder->codec.input_scan_number) != FALSE;
}

}  // namespace

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
                                              const jpeg_decompress_struct& header) {
    try {
        if (!PrivateLayoutVerified()) return {};
        auto file = std::make_shared<std::vector<uint8_t>>();
        SplitStreams streams;
        if (!source.ReadAll(*file, kMaxRasterBytes) || !SplitScans(*file, streams)) return {};

        DecoderPointer first = NewDecoder();
        DecoderPointer others = NewDecoder();
        if (!first || !others || !CreateStage(first.get()) || !CreateStage(others.get())) return {};
        AttachSource(first.get(), file, std::move(streams.first));
        AttachSource(others.get(), std::move(file), std::move(streams.others));
        if (!OpenStage(first.get()) || !OpenStage(others.get())) return {};
        // The rows come out of the first decoder into what `header` sized;
        // the second's coefficients are copied into the first's arrays. The
        // second may meet markers between the scans before its own first
        // scan, so only its frame must be the same.
        if (!SameHeader(header, first->codec, true) || !SameHeader(header, others->codec, false)) {
            ProgressiveStart changed;
            changed.changed = true;
            return changed;
        }
        // The other components' coefficients twice, beside the raster: over
        // the budget, the usual decode with one set is the better choice.
        const uint64_t arrays = CoefficientBytes(first->codec);
        const uint64_t twice = arrays + OtherComponentBytes(first->codec);
        const std::optional<uint64_t> raster =
            CheckedSize(header.output_width, header.output_height, 4);
        if (!raster || !FitsSplitMemoryBudget(*raster, twice)) return {};

        // The helper thread reads the other components' coefficients, waits
        // until they are copied, and frees them.
        struct Handover {
            std::mutex lock;
            std::condition_variable changed;
            bool read = false;
            bool readOk = false;
            bool copied = false;
        };
        auto handover = std::make_shared<Handover>();
        JpegDecoder* helper = others.get();
        jvirt_barray_ptr* otherArrays = nullptr;
        std::jthread release([handover, decoder = std::move(others), &otherArrays]() mutable {
            const bool ok = CoefficientStage(decoder.get(), &otherArrays);
            std::unique_lock<std::mutex> guard(handover->lock);
            handover->read = true;
            handover->readOk = ok;
            handover->changed.notify_all();
            handover->changed.wait(guard, [&] { return handover->copied; });
            guard.unlock();
            decoder.reset();
        });
        // Declared after the thread, so it lets the thread go on (on every
        // way out) before the thread is joined.
        struct LetGo {
            Handover& handover;
            ~LetGo() {
                std::lock_guard<std::mutex> guard(handover.lock);
                handover.copied = true;
                handover.changed.notify_all();
            }
        } letGo{*handover};

        const bool firstRead = ConsumeStage(first.get());
        bool othersRead = false;
        {
            std::unique_lock<std::mutex> guard(handover->lock);
            handover->changed.wait(guard, [&] { return handover->read; });
            othersRead = handover->readOk;
        }
        if (!firstRead || !othersRead || !Complete(first->codec, 0, 0, DCTSIZE2)) return {};
        for (int ci = 1; ci < first->codec.num_components; ++ci)
            if (!Complete(first->codec, ci, 0, 1) || !Complete(helper->codec, ci, 1, DCTSIZE2))
                return {};
        if (!CopyStage(first.get(), helper, otherArrays) || !StartOutputStage(first.get()))
            return {};
        ProgressiveStart start;
        start.decoder = std::move(first);
        start.release = std::move(release);
        return start;
    } catch (...) {
        return {};  // out of memory, or no thread: the usual decode takes over
    }
}

}  // namespace tessarin::jpeg
