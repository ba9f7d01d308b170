#include "imaging/jpeg/jpeg_private.h"

// After jpeglib.h, whose configuration says which messages there are.
// clang-format off
#include <jerror.h>
// clang-format on

namespace tessarin::jpeg {

namespace {

[[noreturn]] void JpegErrorExit(j_common_ptr codec) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(codec->err);
    std::longjmp(manager->recovery, 1);
}

// The warnings that say the picture is not all in the file: its data ends
// early (the library then makes up the rest), or the entropy-coded data is
// broken (a bad code, a marker where data or a restart was due), so what
// follows in that segment is lost or decoded at the wrong place. The other
// warnings are about files that are odd rather than cut or broken, whose
// every scan is there and read as coded: stray bytes between markers,
// unusual scan parameters in a sequential file (JWRN_NOT_SEQUENTIAL), scans
// that refine coefficients out of the usual order (JWRN_BOGUS_PROGRESSION),
// unknown JFIF versions or Adobe transforms.
bool IsDamage(int code) {
    switch (code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_MUST_RESYNC:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
            return true;
        default:
            return false;
    }
}

// The end of the file met in a Huffman-coded file of one scan: whatever is
// missing of its entropy-coded data is reported on its own (JWRN_HIT_MARKER,
// once the decoder needs bits that are not there), so this alone means that
// only the end-of-image marker is. A file of several scans may have lost
// whole scans, and the arithmetic decoder reads on in silence.
bool OnlyTheEndMissing(j_common_ptr common) {
    if (!common->is_decompressor) return false;
    const auto* codec = reinterpret_cast<j_decompress_ptr>(common);
    return !codec->progressive_mode && !codec->arith_code && codec->input_scan_number == 1 &&
           codec->comps_in_scan == codec->num_components;
}

// Warnings come with level -1; trace messages (higher levels) are dropped.
// The library goes on after a warning: a whole load keeps what it decoded.
void RecordJpegMessage(j_common_ptr codec, int level) {
    if (level >= 0) return;
    ++codec->err->num_warnings;
    const int code = codec->err->msg_code;
    if (IsDamage(code) && !(code == JWRN_JPEG_EOF && OnlyTheEndMissing(codec)))
        reinterpret_cast<JpegErrorManager*>(codec->err)->damaged = true;
}

void IgnoreJpegMessage(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager) {
    jpeg_error_mgr* standard = jpeg_std_error(&manager.pub);
    standard->error_exit = JpegErrorExit;
    standard->emit_message = RecordJpegMessage;
    standard->output_message = IgnoreJpegMessage;
    manager.damaged = false;
    return standard;
}

namespace {

// Called by the library as it consumes the file (every row of blocks or
// of output).
void WatchProgress(j_common_ptr common) {
    auto* codec = reinterpret_cast<j_decompress_ptr>(common);
    auto* limit = reinterpret_cast<ScanLimit*>(common->progress);
    if (limit->watch) {
        if (limit->watch->StopRequested()) {
            limit->stopped = true;
            (*common->err->error_exit)(common);
        }
        const jpeg_progress_mgr& pass = limit->pub;
        if (pass.pass_limit > 0 && pass.total_passes > 0)
            limit->watch->ReadProgress(
                int64_t{pass.completed_passes} * pass.pass_limit + pass.pass_counter,
                int64_t{pass.total_passes} * pass.pass_limit);
    }
    if (codec->input_scan_number <= kMaxScans) return;
    limit->exceeded = true;
    (*common->err->error_exit)(common);
}

}  // namespace

void InstallScanLimit(jpeg_decompress_struct* codec, ScanLimit& limit) {
    limit.exceeded = false;
    limit.stopped = false;
    limit.pub.progress_monitor = WatchProgress;
    codec->progress = &limit.pub;
}

}  // namespace tessarin::jpeg
