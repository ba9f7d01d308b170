// The decompressor plumbing shared by the reader, the row feed, the lossless
// cut and the two-thread progressive decode.

#include "imaging/jpeg/jpeg_decoder.h"

#include <cstdlib>
#include <new>

namespace tessarin::jpeg {

namespace {

// One row of four-component samples as the colour they print: each of cyan,
// magenta and yellow takes its share of the light that black lets through.
void CmykRowToBgr(const uint8_t* in, uint8_t* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        // Light left by each ink: 255 is no ink at all.
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<uint8_t>((y * k + 127) / 255);
        out[1] = static_cast<uint8_t>((m * k + 127) / 255);
        out[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

}  // namespace

bool HeaderStage(JpegDecoder* decoder, std::FILE* file) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jpeg_stdio_src(codec, file);
    jpeg_save_markers(codec, JPEG_APP0 + 2, 0xFFFF);  // the colour profile
    jpeg_read_header(codec, TRUE);
    ChooseOutputSpace(codec);
    jpeg_calc_output_dimensions(codec);
    return true;
}

bool ProfileStage(JpegDecoder* decoder, std::shared_ptr<const IccProfile>& profile) {
    if (setjmp(decoder->errors.recovery)) return false;
    JOCTET* data = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(&decoder->codec, &data, &length) && data) {
        try {
            profile = std::make_shared<const IccProfile>(data, data + length);
        } catch (...) {
            profile.reset();  // a file is shown without its profile rather than not at all
        }
        std::free(data);
    }
    return true;
}

bool CreateStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_create_decompress(&decoder->codec);
    decoder->codec.mem->max_memory_to_use = static_cast<long>(kLibraryMemoryLimit);
    InstallScanLimit(&decoder->codec, decoder->scanLimit);
    return true;
}

DecoderPointer NewDecoder() {
    DecoderPointer decoder(new (std::nothrow) JpegDecoder());
    if (decoder) decoder->codec.err = InstallErrorManager(decoder->errors);
    return decoder;
}

uint64_t CoefficientBytes(const jpeg_decompress_struct& codec) {
    uint64_t bytes = 0;
    for (int ci = 0; ci < codec.num_components; ++ci) {
        const jpeg_component_info& c = codec.comp_info[ci];
        bytes += RoundUp(c.width_in_blocks, static_cast<uint64_t>(c.h_samp_factor)) *
                 RoundUp(c.height_in_blocks, static_cast<uint64_t>(c.v_samp_factor)) *
                 sizeof(JBLOCK);
    }
    return bytes;
}

void ChooseOutputSpace(jpeg_decompress_struct* codec) {
    if (codec->out_color_space == JCS_RGB) codec->out_color_space = JCS_EXT_BGR;
    if (codec->jpeg_color_space == JCS_CMYK || codec->jpeg_color_space == JCS_YCCK)
        codec->out_color_space = JCS_CMYK;
}

bool StartStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    jpeg_start_decompress(codec);
    // Outside buffered-image mode the library reads every scan of a
    // multi-scan file (to the end of the file, or its cut-off end) here,
    // before the one output pass there is, which reads each row once: the
    // rows it has passed are never read again. (In buffered-image mode the
    // caller may run further output passes over the same coefficients, even
    // after the input is complete.)
    if (!codec->buffered_image && jpeg_input_complete(codec)) decoder->release.Start(codec);
    return true;
}

bool ReadRowsStage(JpegDecoder* decoder, const RowTarget* target, JDIMENSION upTo,
                   bool stopAtDamage) {
    if (setjmp(decoder->errors.recovery)) return false;
    jpeg_decompress_struct* codec = &decoder->codec;
    if (upTo > codec->output_height) upTo = codec->output_height;
    while (codec->output_scanline < upTo) {
        if (stopAtDamage && decoder->errors.damaged) return false;
        const JDIMENSION done = codec->output_scanline;
        JSAMPROW* rows = target->rows + (done - target->firstRow);
        if (target->cmykRow) {
            JSAMPROW row = target->cmykRow;
            if (jpeg_read_scanlines(codec, &row, 1) == 0) return false;
            CmykRowToBgr(row, *rows, target->width, target->cmykInverted);
        } else if (jpeg_read_scanlines(codec, rows, upTo - done) == 0) {
            return false;
        }
    }
    return !(stopAtDamage && decoder->errors.damaged);
}

bool FinishStage(JpegDecoder* decoder) {
    if (setjmp(decoder->errors.recovery)) return false;
    if (decoder->codec.buffered_image) jpeg_finish_output(&decoder->codec);
    jpeg_finish_decompress(&decoder->codec);
    return true;
}

}  // namespace tessarin::jpeg
