#include "app/about_text.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include "platform/locale.h"

namespace tessarin {

// LIBJPEG_TURBO_VERSION is a bare token sequence such as 2.1.5.
#define TESSARIN_TEXT(x) #x
#define TESSARIN_STRING(x) TESSARIN_TEXT(x)

std::string UsageText() {
    return Localized(
        "使い方: tessarin [ファイル|フォルダ]...\n"
        "        tessarin /cmd [オプション]... ファイル|フォルダ...\n"
        "画像（BMP、JPEG、PNG、GIF）をタイルに分割します。\n"
        "\n"
        "/cmd なしではウィンドウが開き、最初のファイルを表示します（メニューの設定に\n"
        "よっては、全ファイルをそのまま分割します）。\n"
        "/cmd を付けると、現在の分割設定と左側のオプションでファイルをコンソールで分割し、\n"
        "ファイルごとに結果の行を出力します。フォルダはその中の画像を名前順に表します。\n"
        "\n"
        "  tessarin /cmd /help   全オプションの説明を表示\n"
        "  -h, --help            この説明を表示して終了\n"
        "  -V, --version         バージョンを表示して終了\n"
        "\n"
        "終了コード: 全ファイルが「○」か「△」なら 0、「×」のファイルか存在しないパスが\n"
        "あれば 1。「--help」という名前のファイルは ./--help と指定します。\n",
        "Usage: tessarin [FILE|FOLDER]...\n"
        "       tessarin /cmd [OPTION]... FILE|FOLDER...\n"
        "Cut images (BMP, JPEG, PNG, GIF) into tiles.\n"
        "\n"
        "Without /cmd the window opens and shows the first FILE (or, as set in its\n"
        "menus, splits them all at once).\n"
        "With /cmd the files are split on the console with the current split settings\n"
        "and the options to their left, one result line per file. A FOLDER stands for\n"
        "the images in it, in name order.\n"
        "\n"
        "  tessarin /cmd /help   list every option\n"
        "  -h, --help            display this help and exit\n"
        "  -V, --version         output version information and exit\n"
        "\n"
        "Exit status: 0 when every file was split (\"○\") or skipped (\"△\"), 1 when a\n"
        "file failed (\"×\") or a path did not exist. A file named --help is given as\n"
        "./--help.\n");
}

std::string VersionText() {
    char libraries[256];
    std::snprintf(libraries, sizeof libraries,
                  "libjpeg-turbo %s (libjpeg %d), libpng %s, giflib %d.%d.%d, zlib %s\n",
                  TESSARIN_STRING(LIBJPEG_TURBO_VERSION), JPEG_LIB_VERSION,
                  png_get_libpng_ver(nullptr), GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE,
                  zlibVersion());
    return std::string("tessarin " TESSARIN_VERSION "\n") + libraries;
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
