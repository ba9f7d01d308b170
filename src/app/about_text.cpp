#include "app/about_text.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <png.h>
#include <tiffvers.h>
#include <webp/decode.h>
#include <zlib.h>

#include <vector>

#include "imaging/format_registry.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace tessarin {

// LIBJPEG_TURBO_VERSION is a bare token sequence such as 2.1.5.
#define TESSARIN_TEXT(x) #x
#define TESSARIN_STRING(x) TESSARIN_TEXT(x)

namespace {

std::string Join(const std::vector<std::string_view>& items, std::string_view separator,
                 std::string_view lastSeparator) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? lastSeparator : separator;
        text += items[i];
    }
    return text;
}

}  // namespace

std::string FormatNames(std::string_view separator, std::string_view lastSeparator) {
    std::vector<std::string_view> names;
    for (const ImageFormat* format : ImageFormats()) names.emplace_back(format->name);
    return Join(names, separator, lastSeparator);
}

std::string FormatExtensions(std::string_view separator, std::string_view lastSeparator) {
    std::vector<std::string_view> extensions;
    for (const ImageFormat* format : ImageFormats())
        for (const char* const* e = format->extensions; *e; ++e) extensions.emplace_back(*e);
    return Join(extensions, separator, lastSeparator);
}

std::string TileFormatWords(std::string_view separator) {
    std::string words = "same";
    for (const ImageFormat* format : ImageFormats())
        if (format->makeRasterSource) words.append(separator).append(AsciiLower(format->name));
    return words;
}

std::string UsageText() {
    const char* separator = Localized("、", ", ");
    std::string text = Localized(
        "使い方: tessarin [ファイル|フォルダ]...\n"
        "        tessarin /cmd [オプション]... ファイル|フォルダ...\n"
        "画像（",
        "Usage: tessarin [FILE|FOLDER]...\n"
        "       tessarin /cmd [OPTION]... FILE|FOLDER...\n"
        "Cut images (");
    text += FormatNames(separator, separator);
    text += Localized("）をタイルに分割します。\n", ") into tiles.\n");
    text += Localized(
        "\n"
        "/cmd なしではウィンドウが開き、最初のファイルを表示します（メニューの設定に\n"
        "よっては、全ファイルをそのまま分割します）。\n"
        "/cmd を付けると、現在の分割設定と左側のオプションでファイルをコンソールで分割し、\n"
        "ファイルごとに結果の行を出力します。フォルダはその中の画像を名前順に表します。\n"
        "\n"
        "主なオプション（右側のファイルに効きます。長い形は --outdir=DIR とも書けます）:\n"
        "  /outdir DIR   -o, --outdir DIR    タイルの保存先フォルダ\n"
        "  /relative N   --relative N        分割元画像のフォルダ（N 階層上）に保存\n"
        "  /x SIZE       --width SIZE        タイルの幅: 画素数、12.5%、4個（4n）\n"
        "  /y SIZE       --height SIZE       タイルの高さ\n"
        "  /xo N         --offset-x N        1列目の幅（画素数か %）\n"
        "  /yo N         --offset-y N        1行目の高さ\n"
        "  /t N          -j, --threads N     分割同時処理（スレッド）数\n"
        "  /jq N         --quality N         再圧縮する JPEG の品質（0〜100）\n"
        "  /jc           --exact             JPEG を正確な位置で分割（再圧縮）\n"
        "  '/!jc'        --lossless          JPEG を無劣化で分割（ブロック単位）\n"
        "  /bmp          --bmp               全てBMP形式で出力\n"
        "  /format F     --format F          タイルの形式（same、png、tiff、webp…）\n"
        "  /copy WHICH   --copy WHICH        無劣化 JPEG タイルに残すマーカー\n"
        "                                    （all、comments、none、icc）\n"
        "  /ini FILE     --settings FILE     分割設定ファイルを読み込む\n"
        "  /manifest     --manifest          タイルの一覧 <画像ファイル名>_tiles.json "
        "も出力\n"
        "  /recurse      --recurse           フォルダの下のフォルダの画像も分割\n"
        "  /progress     --progress          端末でなくても進行状況を表示\n"
        "  tessarin /cmd /help               全オプションの説明を表示\n"
        "  -h, --help                        この説明を表示して終了\n"
        "  -V, --version                     バージョンを表示して終了\n"
        "\n"
        "保存先の既定（/outdir も /relative もなく、設定の保存フォルダもないとき）は\n"
        "デスクトップのフォルダ（XDG_DESKTOP_DIR、なければ ~/Desktop）、それもなければ\n"
        "ホームフォルダです。そのときは保存先を標準エラー出力に1行表示します。\n"
        "bash では「!」を含むオプションを引用符で囲みます（'/!jc'）。\n"
        "\n"
        "終了コード: 全ファイルが「○」か「△」なら 0、「×」のファイル、存在しないパス、\n"
        "不明なオプション、出力の書き込みエラーがあれば 1。「--help」という名前の\n"
        "ファイルは ./--help と指定します。\n",
        "\n"
        "Without /cmd the window opens and shows the first FILE (or, as set in its\n"
        "menus, splits them all at once).\n"
        "With /cmd the files are split on the console with the current split settings\n"
        "and the options to their left, one result line per file. A FOLDER stands for\n"
        "the images in it, in name order.\n"
        "\n"
        "Main options (each applies to the files to its right; long options also take\n"
        "their value as --outdir=DIR):\n"
        "  /outdir DIR   -o, --outdir DIR    write the tiles into the folder DIR\n"
        "  /relative N   --relative N        write them beside the source, N folders up\n"
        "  /x SIZE       --width SIZE        tile width: pixels, 12.5%, or 4n tiles a row\n"
        "  /y SIZE       --height SIZE       tile height, the same forms\n"
        "  /xo N         --offset-x N        width of the first column (pixels or %)\n"
        "  /yo N         --offset-y N        height of the first row\n"
        "  /t N          -j, --threads N     worker threads per image\n"
        "  /jq N         --quality N         quality of re-encoded JPEG tiles, 0 to 100\n"
        "  /jc           --exact             cut JPEG at exact positions, re-encoding\n"
        "  '/!jc'        --lossless          cut JPEG losslessly, on its block grid\n"
        "  /bmp          --bmp               write every tile as BMP\n"
        "  /format F     --format F          the tiles' format: same, png, tiff, webp...\n"
        "  /copy WHICH   --copy WHICH        markers lossless JPEG tiles keep:\n"
        "                                    all, comments, none or icc\n"
        "  /ini FILE     --settings FILE     load a split-settings file here\n"
        "  /manifest     --manifest          also write <image file name>_tiles.json\n"
        "  /recurse      --recurse           folders include their sub-folders\n"
        "  /progress     --progress          progress line even off a terminal\n"
        "  tessarin /cmd /help               list every option\n"
        "  -h, --help                        display this help and exit\n"
        "  -V, --version                     output version information and exit\n"
        "\n"
        "The default output folder (no /outdir or /relative, and no save folder in\n"
        "the settings) is the desktop folder (XDG_DESKTOP_DIR, else ~/Desktop), or\n"
        "the home folder when there is none; a run that uses it says so on standard\n"
        "error. In bash, quote the options with \"!\" ('/!jc').\n"
        "\n"
        "Exit status: 0 when every file was split (\"○\") or skipped (\"△\"), 1 when a\n"
        "file failed (\"×\"), a path did not exist, an option was unknown or the\n"
        "output could not be written. A file named --help is given as ./--help.\n");
    return text;
}

std::string VersionText() {
    char libraries[256];
    const int webp = WebPGetDecoderVersion();
    std::snprintf(libraries, sizeof libraries,
                  "libjpeg-turbo %s (libjpeg %d), libpng %s, giflib %d.%d.%d, zlib %s,\n"
                  "libtiff %d.%d.%d, libwebp %d.%d.%d\n",
                  TESSARIN_STRING(LIBJPEG_TURBO_VERSION), JPEG_LIB_VERSION,
                  png_get_libpng_ver(nullptr), GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE,
                  zlibVersion(), TIFFLIB_MAJOR_VERSION, TIFFLIB_MINOR_VERSION,
                  TIFFLIB_MICRO_VERSION, webp >> 16, (webp >> 8) & 0xFF, webp & 0xFF);
    std::string formats = "Formats, by file name extension:\n";
    for (const ImageFormat* format : ImageFormats()) {
        const std::string_view name = format->name;
        formats.append("  ").append(name).append(name.size() < 6 ? 6 - name.size() : 1, ' ');
        for (const char* const* e = format->extensions; *e; ++e)
            formats.append(e == format->extensions ? "" : " ").append(*e);
        formats += '\n';
    }
    return std::string("tessarin " TESSARIN_VERSION "\n") + libraries + formats +
           "Copyright (c) 2026 the Tessarin developers\n"
           "License: MIT\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

bool IsInformationRequest(const std::string& firstArgument, std::string& text) {
    if (firstArgument == "--help" || firstArgument == "-h") {
        text = UsageText();
        return true;
    }
    if (firstArgument == "--version" || firstArgument == "-V") {
        text = VersionText();
        return true;
    }
    return false;
}

}  // namespace tessarin
