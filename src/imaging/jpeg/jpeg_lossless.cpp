// Lossless JPEG tiles cut in-process: the DCT coefficients of the source are
// read once, and every tile is written from them as
// `jpegtran -copy <all|comments|none> -crop WxH+X+Y` writes it, byte for byte.

#include "imaging/jpeg/jpeg_lossless.h"

#include <cstring>
#include <new>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/jpeg/jpeg_decoder.h"
#include "imaging/memory_budget.h"
#include "platform/file_io.h"

namespace tessarin::jpeg {

namespace {

struct JpegTileWriter {
    jpeg_compress_struct codec;
    JpegErrorManager errors;
};

// The stages below arm the recovery point and hold plain data only.
enum class ReadResult { kRead, kOverBudget, kTooLarge, kDamaged, kFailed };

// Every comment and application marker is kept, in file order; the tiles
// pass on those their copy choice keeps.
// A file whose size is not the one it was loaded with fails: the tile grid
// was made for that size.
ReadResult ReadStage(JpegDecoder* reader, std::FILE* file, JDIMENSION width, JDIMENSION height,
                     uint64_t heldBytes, jvirt_barray_ptr** arrays) {
    if (setjmp(reader->errors.recovery)) return ReadResult::kFailed;
    jpeg_decompress_struct* codec = &reader->codec;
    jpeg_stdio_src(codec, file);
    jpeg_save_markers(codec, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m) jpeg_save_markers(codec, JPEG_APP0 + m, 0xFFFF);
    jpeg_read_header(codec, TRUE);
    if (codec->image_width != width || codec->image_height != height) return ReadResult::kFailed;
    // Past the library's reach the file goes to jpegtran, whose memory is its
    // own; within it, the arrays must fit the split's budget.
    if (CoefficientBytes(*codec) > kLibraryMemoryLimit) return ReadResult::kTooLarge;
    if (!FitsSplitMemoryBudget(heldBytes, CoefficientBytes(*codec))) return ReadResult::kOverBudget;
    *arrays = jpeg_read_coefficients(codec);
    // Coefficients the library made up for missing or broken data are not
    // cut into tiles.
    return reader->errors.damaged ? ReadResult::kDamaged : ReadResult::kRead;
}

// Decodes the rows of a file of one scan (see SingleScanIntact) until they
// end or show damage; false on a library error.
bool CheckScanStage(JpegDecoder* reader, std::FILE* file) {
    if (setjmp(reader->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &reader->codec;
    jpeg_stdio_src(codec, file);
    jpeg_read_header(codec, TRUE);
    if (jpeg_has_multiple_scans(codec)) return true;
    codec->scale_num = 1;
    codec->scale_denom = 8;
    jpeg_start_decompress(codec);
    JSAMPARRAY row = codec->mem->alloc_sarray(
        reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE,
        codec->output_width * static_cast<JDIMENSION>(codec->output_components), 1);
    while (codec->output_scanline < codec->output_height && !reader->errors.damaged)
        jpeg_read_scanlines(codec, row, 1);
    return true;
}

// rows[r] = block row r of the array. Reading once here also zero-fills rows
// a truncated file never reached, so later reads change nothing.
bool MapRowsStage(JpegDecoder* reader, jvirt_barray_ptr array, JDIMENSION count, JBLOCKROW* rows) {
    if (setjmp(reader->errors.recovery)) return false;
    j_common_ptr common = reinterpret_cast<j_common_ptr>(&reader->codec);
    for (JDIMENSION r = 0; r < count; ++r)
        rows[r] = reader->codec.mem->access_virt_barray(common, array, r, 1, FALSE)[0];
    return true;
}

bool IsExif(const jpeg_saved_marker_ptr marker) {
    return marker && marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
           std::memcmp(marker->data, "Exif\0\0", 6) == 0;
}

bool IsJfif(const jpeg_saved_marker_ptr marker) {
    return marker->marker == JPEG_APP0 && marker->data_length >= 5 &&
           std::memcmp(marker->data, "JFIF\0", 5) == 0;
}

bool IsAdobe(const jpeg_saved_marker_ptr marker) {
    return marker->marker == JPEG_APP0 + 14 && marker->data_length >= 5 &&
           std::memcmp(marker->data, "Adobe", 5) == 0;
}

// What jpegtran saves of the source for its "-copy" choice: the markers it
// does not save are neither written nor seen by its Exif rule.
bool Kept(const jpeg_saved_marker_ptr marker, JpegTileOptions::Copy copy) {
    switch (copy) {
        case JpegTileOptions::Copy::All:
            return true;
        case JpegTileOptions::Copy::Comments:
            return marker->marker == JPEG_COM;
        case JpegTileOptions::Copy::Icc:  // the colour profile's APP2 markers
            return marker->marker == JPEG_APP0 + 2 && marker->data_length >= 12 &&
                   std::memcmp(marker->data, "ICC_PROFILE", 12) == 0;
        case JpegTileOptions::Copy::None:
            break;
    }
    return false;
}

jpeg_saved_marker_ptr FirstKept(jpeg_saved_marker_ptr marker, JpegTileOptions::Copy copy) {
    while (marker && !Kept(marker, copy)) marker = marker->next;
    return marker;
}

// Sets ExifImageWidth and ExifImageHeight (tags 0xA002 and 0xA003 of the Exif
// sub-IFD) in a TIFF structure to the tile's size, as 32-bit values, the way
// jpegtran does when a crop changes the size. Anything unexpected leaves the
// data as it is.
void SetExifImageSize(uint8_t* data, size_t length, uint32_t width, uint32_t height) {
    if (length < 12) return;
    bool bigEndian;
    if (data[0] == 'I' && data[1] == 'I')
        bigEndian = false;
    else if (data[0] == 'M' && data[1] == 'M')
        bigEndian = true;
    else
        return;
    auto get16 = [&](size_t at) -> uint32_t {
        return bigEndian ? (uint32_t{data[at]} << 8 | data[at + 1])
                         : (uint32_t{data[at + 1]} << 8 | data[at]);
    };
    auto get32 = [&](size_t at) -> uint64_t {
        return bigEndian ? (uint64_t{get16(at)} << 16 | get16(at + 2))
                         : (uint64_t{get16(at + 2)} << 16 | get16(at));
    };
    if (get16(2) != 0x2A) return;
    uint64_t offset = get32(4);
    if (offset > length - 2) return;
    uint32_t entries = get16(offset);
    offset += 2;
    for (;; offset += 12) {  // IFD0: the pointer to the Exif sub-IFD
        if (entries-- == 0 || offset > length - 12) return;
        if (get16(offset) == 0x8769) break;
    }
    offset = get32(offset + 8);
    if (offset > length - 2) return;
    entries = get16(offset);
    if (entries < 2) return;
    for (offset += 2; entries-- > 0 && offset <= length - 12; offset += 12) {
        const uint32_t tag = get16(offset);
        if (tag != 0xA002 && tag != 0xA003) continue;
        const uint32_t value = tag == 0xA002 ? width : height;
        const uint8_t type[2] = {0, 4};  // LONG
        const uint8_t count[4] = {0, 0, 0, 1};
        for (uint32_t i = 0; i < 2; ++i) data[offset + 2 + i] = type[bigEndian ? i : 1 - i];
        for (uint32_t i = 0; i < 4; ++i) {
            data[offset + 4 + i] = count[bigEndian ? i : 3 - i];
            data[offset + 8 + i] = static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i));
        }
    }
}

// One tile's crop on the iMCU grid.
struct CropGeometry {
    JDIMENSION width = 0;
    JDIMENSION height = 0;
    JDIMENSION columnMcus = 0;  // the crop's corner in iMCUs
    JDIMENSION rowMcus = 0;
};

struct TileJob {
    std::FILE* file = nullptr;
    const jpeg_decompress_struct* source = nullptr;
    const std::vector<JBLOCKROW>* rows = nullptr;  // per source component
    CropGeometry crop;
    JpegTileOptions::Copy copy = JpegTileOptions::Copy::All;
    bool exifFirst = false;
    const uint8_t* exifData = nullptr;  // the first marker's data to write in its place
};

bool WriteTileStage(JpegTileWriter* writer, const TileJob* job) {
    if (setjmp(writer->errors.recovery)) return false;
    jpeg_compress_struct* codec = &writer->codec;
    jpeg_create_compress(codec);
    j_decompress_ptr source = const_cast<j_decompress_ptr>(job->source);
    jpeg_copy_critical_parameters(source, codec);
    // Some decoders choke on grey files whose sampling factors are not 1x1.
    if (codec->num_components == 1) {
        codec->comp_info[0].h_samp_factor = 1;
        codec->comp_info[0].v_samp_factor = 1;
    }
    codec->image_width = job->crop.width;
    codec->image_height = job->crop.height;
    if (job->exifFirst) codec->write_JFIF_header = FALSE;

    const JpegCropGrid grid = CropGridOf(*source);
    const auto mcuWidth = static_cast<JDIMENSION>(grid.width);
    const auto mcuHeight = static_cast<JDIMENSION>(grid.height);
    const JDIMENSION mcuColumns = (job->crop.width + mcuWidth - 1) / mcuWidth;
    const JDIMENSION mcuRows = (job->crop.height + mcuHeight - 1) / mcuHeight;
    jvirt_barray_ptr arrays[MAX_COMPONENTS];
    j_common_ptr common = reinterpret_cast<j_common_ptr>(codec);
    for (int ci = 0; ci < codec->num_components; ++ci) {
        const jpeg_component_info& c = codec->comp_info[ci];
        arrays[ci] = codec->mem->request_virt_barray(
            common, JPOOL_IMAGE, FALSE, mcuColumns * Factor(c.h_samp_factor),
            mcuRows * Factor(c.v_samp_factor), static_cast<JDIMENSION>(c.v_samp_factor));
    }
    jpeg_stdio_dest(codec, job->file);
    jpeg_write_coefficients(codec, arrays);

    const jpeg_saved_marker_ptr first = FirstKept(source->marker_list, job->copy);
    for (jpeg_saved_marker_ptr m = first; m; m = FirstKept(m->next, job->copy)) {
        // The library has written its own JFIF or Adobe marker already.
        if (codec->write_JFIF_header && IsJfif(m)) continue;
        if (codec->write_Adobe_marker && IsAdobe(m)) continue;
        const JOCTET* data = m == first && job->exifData ? job->exifData : m->data;
        jpeg_write_marker(codec, m->marker, data, m->data_length);
    }

    for (int ci = 0; ci < codec->num_components; ++ci) {
        const jpeg_component_info& c = codec->comp_info[ci];
        const std::vector<JBLOCKROW>& rows = job->rows[ci];
        const JDIMENSION left = job->crop.columnMcus * Factor(c.h_samp_factor);
        const JDIMENSION top = job->crop.rowMcus * Factor(c.v_samp_factor);
        const JDIMENSION sourceWidth = job->source->comp_info[ci].width_in_blocks;
        const JDIMENSION bandRows = static_cast<JDIMENSION>(c.v_samp_factor);
        // The crop lies inside the image, so these hold; they guard the
        // reads below against any arithmetic slip.
        if (left + c.width_in_blocks > sourceWidth ||
            top + RoundUp(c.height_in_blocks, bandRows) > rows.size())
            return false;
        for (JDIMENSION y = 0; y < c.height_in_blocks; y += bandRows) {
            JBLOCKARRAY band =
                codec->mem->access_virt_barray(common, arrays[ci], y, bandRows, TRUE);
            for (JDIMENSION i = 0; i < bandRows; ++i)
                std::memcpy(band[i], rows[top + y + i] + left, c.width_in_blocks * sizeof(JBLOCK));
        }
    }
    jpeg_finish_compress(codec);
    return true;
}

class InProcessLosslessSource final : public TileSource {
  public:
    InProcessLosslessSource(DecoderPointer reader, std::vector<std::vector<JBLOCKROW>> rows,
                            JpegTileOptions::Copy copy)
        : reader_(std::move(reader)),
          rows_(std::move(rows)),
          grid_(CropGridOf(reader_->codec)),
          copy_(copy) {}

    TileRect CutRect(const TileRect& rect) const override { return grid_.Cut(rect); }

    const char* SaveFailedMessage() const override { return kLosslessFailed; }

    const char* WriteTile(const TileRect& rect, const TileFile& tileFile,
                          TileContext&) const override {
        const jpeg_decompress_struct& source = reader_->codec;
        if (!RegionInside(rect.x, rect.y, rect.width, rect.height,
                          static_cast<int64_t>(source.image_width),
                          static_cast<int64_t>(source.image_height)))
            return kLosslessFailed;
        const TileRect cut = grid_.Cut(rect);
        TileJob job;
        job.source = &source;
        job.rows = rows_.data();
        job.crop.width = static_cast<JDIMENSION>(cut.width);
        job.crop.height = static_cast<JDIMENSION>(cut.height);
        job.crop.columnMcus = static_cast<JDIMENSION>(cut.x / grid_.width);
        job.crop.rowMcus = static_cast<JDIMENSION>(cut.y / grid_.height);
        job.copy = copy_;

        // An Exif block first means no JFIF marker, and its image size follows
        // the tile's when that differs from the source's.
        std::vector<uint8_t> exif;
        const jpeg_saved_marker_ptr first = FirstKept(source.marker_list, copy_);
        job.exifFirst = IsExif(first);
        if (job.exifFirst &&
            (job.crop.width != source.image_width || job.crop.height != source.image_height)) {
            try {
                exif.assign(first->data, first->data + first->data_length);
            } catch (const std::bad_alloc&) {
                return kLosslessFailed;
            }
            SetExifImageSize(exif.data() + 6, exif.size() - 6, job.crop.width, job.crop.height);
            job.exifData = exif.data();
        }

        FilePtr file(OpenWriteStream(tileFile.fd));
        if (!file) return kLosslessFailed;
        std::unique_ptr<JpegTileWriter> writer(new (std::nothrow) JpegTileWriter());
        if (!writer) return kLosslessFailed;
        writer->codec.err = InstallErrorManager(writer->errors);
        job.file = file.get();
        bool ok = WriteTileStage(writer.get(), &job);
        jpeg_destroy_compress(&writer->codec);
        if (std::ferror(file.get())) ok = false;
        if (std::fclose(file.release()) != 0) ok = false;
        return ok ? nullptr : kLosslessFailed;
    }

  private:
    DecoderPointer reader_;
    std::vector<std::vector<JBLOCKROW>> rows_;  // block rows of each component
    JpegCropGrid grid_;
    JpegTileOptions::Copy copy_;
};

}  // namespace

JpegCropGrid CropGridOf(const jpeg_decompress_struct& codec) {
    JpegCropGrid grid;
    if (codec.num_components > 1) {
        grid.width = DCTSIZE * codec.max_h_samp_factor;
        grid.height = DCTSIZE * codec.max_v_samp_factor;
    }
    return grid;
}

bool SingleScanIntact(const SourceFile& source) {
    DecoderPointer reader = NewDecoder();
    if (!reader || !CreateStage(reader.get())) return false;
    FilePtr file(source.OpenStream());
    // What cannot be read at all is left to jpegtran, which fails on it too.
    return !file || !CheckScanStage(reader.get(), file.get()) || !reader->errors.damaged;
}

LosslessPrepare MakeInProcessLosslessSource(const SourceFile& source, int width, int height,
                                            uint64_t heldBytes, JpegTileOptions::Copy copy,
                                            std::unique_ptr<TileSource>& out, LosslessFrame& frame,
                                            const ReadWatch* watch) {
    out.reset();
    DecoderPointer reader = NewDecoder();
    if (!reader || !CreateStage(reader.get())) return LosslessPrepare::kFailed;
    reader->scanLimit.watch = watch;

    FilePtr file(source.OpenStream());
    if (!file) return LosslessPrepare::kFailed;
    jvirt_barray_ptr* arrays = nullptr;
    if (width <= 0 || height <= 0) return LosslessPrepare::kFailed;
    const ReadResult read = ReadStage(reader.get(), file.get(), static_cast<JDIMENSION>(width),
                                      static_cast<JDIMENSION>(height), heldBytes, &arrays);
    if (read == ReadResult::kFailed) return LosslessPrepare::kFailed;
    if (read == ReadResult::kOverBudget) return LosslessPrepare::kOverBudget;
    if (read == ReadResult::kDamaged) return LosslessPrepare::kDamaged;
    frame.grid = CropGridOf(reader->codec);
    frame.coefficientBytes = CoefficientBytes(reader->codec);
    if (read == ReadResult::kTooLarge) return LosslessPrepare::kRefused;
    file.reset();
    const jpeg_decompress_struct& codec = reader->codec;

    // The arrays are wholly in memory (the library has no backing store), so
    // the block rows stay where they are; the workers read them through this
    // table and never call into the shared decompressor.
    std::vector<std::vector<JBLOCKROW>> rows;
    try {
        rows.resize(static_cast<size_t>(codec.num_components));
        for (size_t ci = 0; ci < rows.size(); ++ci) {
            const jpeg_component_info& c = codec.comp_info[ci];
            rows[ci].resize(RoundUp(c.height_in_blocks, Factor(c.v_samp_factor)));
        }
    } catch (const std::bad_alloc&) {
        return LosslessPrepare::kFailed;
    }
    for (size_t ci = 0; ci < rows.size(); ++ci)
        if (!MapRowsStage(reader.get(), arrays[ci], static_cast<JDIMENSION>(rows[ci].size()),
                          rows[ci].data()))
            return LosslessPrepare::kFailed;

    out.reset(new (std::nothrow) InProcessLosslessSource(std::move(reader), std::move(rows), copy));
    return out ? LosslessPrepare::kReady : LosslessPrepare::kFailed;
}

}  // namespace tessarin::jpeg
