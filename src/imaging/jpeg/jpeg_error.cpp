#include "imaging/jpeg/jpeg_private.h"

namespace tessarin::jpeg {

namespace {

[[noreturn]] void JpegErrorExit(j_common_ptr codec) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(codec->err);
    std::longjmp(manager->recovery, 1);
}

// Warnings (corrupt data, premature end of the data) are not worth stopping
// for: a damaged file shows what the library could make of it.
void IgnoreJpegMessage(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallErrorManager(JpegErrorManager& manager) {
    jpeg_error_mgr* standard = jpeg_std_error(&manager.pub);
    standard->error_exit = JpegErrorExit;
    standard->output_message = IgnoreJpegMessage;
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
