#include "split/message_catalogue.h"

#include "platform/locale.h"

// The Japanese texts are marked for lupdate, which collects them into the
// window's translation file; the engine itself has no Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace tessarin {

namespace {

constexpr CatalogueEntry kEntries[] = {
    // Readers, writers and tile sources (imaging/messages.h and the formats).
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルが不正です"), "The file is invalid"},
    {QT_TRANSLATE_NOOP("Tessarin", "画像のクリッピングに失敗しました"), "Could not clip the image"},
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルの保存に失敗しました"), "Could not save the file"},
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルの読み込みに失敗しました"), "Could not read the file"},
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルを開くのに失敗しました"), "Could not open the file"},
    {QT_TRANSLATE_NOOP("Tessarin", "メモリ領域の確保に失敗しました"), "Could not allocate memory"},
    {QT_TRANSLATE_NOOP("Tessarin", "PNGファイルではありません"), "Not a PNG file"},
    {QT_TRANSLATE_NOOP("Tessarin", "GIFのタイルは256色までです"),
     "A GIF tile holds at most 256 colours"},
    {QT_TRANSLATE_NOOP("Tessarin", "読み込みの準備に失敗しました"), "Could not prepare reading"},
    {QT_TRANSLATE_NOOP("Tessarin", "非対応のビット深度です"), "Unsupported bit depth"},
    {QT_TRANSLATE_NOOP("Tessarin", "非対応のインターレース形式です"),
     "Unsupported interlace method"},
    {QT_TRANSLATE_NOOP("Tessarin", "このTIFFファイルの形式には対応していません"),
     "This kind of TIFF file is not supported"},
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルの書き込みに失敗しました"), "Could not write the file"},
    {QT_TRANSLATE_NOOP("Tessarin", "書き込みの準備に失敗しました"), "Could not prepare writing"},
    {QT_TRANSLATE_NOOP("Tessarin", "jpegtranを使った分割処理に失敗しました"),
     "The lossless split with jpegtran failed"},
    {QT_TRANSLATE_NOOP("Tessarin", "ヘッダ情報の読み込みに失敗しました"),
     "Could not read the header"},
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルの展開に失敗しました"),
     "Could not decompress the file"},
    {QT_TRANSLATE_NOOP("Tessarin", "BMPオブジェクトの作成に失敗しました"),
     "Could not create the bitmap"},
    {QT_TRANSLATE_NOOP("Tessarin", "イメージデータの取得に失敗しました"),
     "Could not get the image data"},
    {QT_TRANSLATE_NOOP("Tessarin", "緑の情報量を「6bit」から「5bit」に減らします"),
     "Green is reduced from 6 bits to 5 bits"},
    {QT_TRANSLATE_NOOP("Tessarin", "アニメーションWebPには対応していません"),
     "Animated WebP files are not supported"},
    {QT_TRANSLATE_NOOP("Tessarin", "WebPのタイルは幅・高さとも16383ピクセルまでです"),
     "WebP tiles can be at most 16383 pixels wide and high"},
    // The loader and the split job (split/messages.h).
    {QT_TRANSLATE_NOOP("Tessarin", "ファイルのパスが不正です"), "The file path is invalid"},
    {QT_TRANSLATE_NOOP("Tessarin", "非対応のファイル形式です"), "Unsupported file format"},
    {QT_TRANSLATE_NOOP("Tessarin", "スレッドの作成に失敗しました"), "Could not create a thread"},
    {QT_TRANSLATE_NOOP("Tessarin", "分割対象ファイルのパスが不正です"),
     "The path of the file to split is invalid"},
    {QT_TRANSLATE_NOOP("Tessarin", "分割処理中止"), "Split stopped"},
    {QT_TRANSLATE_NOOP("Tessarin", "保存フォルダが存在しません"), "The save folder does not exist"},
    {QT_TRANSLATE_NOOP("Tessarin", "保存フォルダがシンボリックリンクです"),
     "The save folder is a symbolic link"},
    {QT_TRANSLATE_NOOP("Tessarin", "タイル名が別のファイルで使われています"),
     "Tile names already used by another file"},
    {QT_TRANSLATE_NOOP("Tessarin", "分割中にファイルが変更されました"),
     "The file changed while it was split"},
    {QT_TRANSLATE_NOOP("Tessarin", "キャンセルされました"), "Cancelled"},
    {QT_TRANSLATE_NOOP("Tessarin", "設定ファイルの書き込みに失敗しました"),
     "Could not write the settings file"},
    // The questions before a split (split/split_checks.cpp).
    {QT_TRANSLATE_NOOP("Tessarin",
                       "分割サイズ、オフセット、いずれの値も分割しない設定になっています。\n"
                       "少なくとも１つは分割するよう設定して下さい。"),
     "Neither the tile size nor the offset splits the image.\n"
     "Set at least one of them so that the image is split."},
    {QT_TRANSLATE_NOOP("Tessarin",
                       "保存フォルダの指定が不正です。デスクトップに保存しますがいいですか？"),
     "The save folder is invalid. Save to the desktop instead?"},
    {QT_TRANSLATE_NOOP(
         "Tessarin",
         "JPEGファイルを無劣化で分割する場合、横のオフセットが「8の倍数」や「16の倍数」"
         "でないと正確なサイズに分割できない可能性が高いですがいいですか？"),
     "When a JPEG file is split without loss, a horizontal offset that is not a multiple of 8 "
     "or 16 will most likely not give the exact tile size. Continue?"},
    {QT_TRANSLATE_NOOP("Tessarin",
                       "JPEGファイルを無劣化で分割する場合、縦のオフセットが「8の倍数」でないと"
                       "正確なサイズに分割できない可能性が高いですがいいですか？"),
     "When a JPEG file is split without loss, a vertical offset that is not a multiple of 8 "
     "will most likely not give the exact tile size. Continue?"},
    {QT_TRANSLATE_NOOP(
         "Tessarin",
         "JPEGファイルを無劣化で分割する場合、分割サイズの横幅が「8の倍数」や「16の倍数」"
         "でないと正確なサイズに分割できない可能性が高いですがいいですか？"),
     "When a JPEG file is split without loss, a tile width that is not a multiple of 8 or 16 "
     "will most likely not give the exact tile size. Continue?"},
    {QT_TRANSLATE_NOOP("Tessarin",
                       "JPEGファイルを無劣化で分割する場合、分割サイズの高さが「8の倍数」でないと"
                       "正確なサイズに分割できない可能性が高いですがいいですか？"),
     "When a JPEG file is split without loss, a tile height that is not a multiple of 8 "
     "will most likely not give the exact tile size. Continue?"},
    // The save folder before an image is open, when it depends on the image
    // (split/naming.cpp).
    {QT_TRANSLATE_NOOP("Tessarin", "未定"), "(not yet known)"},
    // The command mode's first and last lines.
    {QT_TRANSLATE_NOOP("Tessarin", "Tessarinの処理を開始します"), "Tessarin started"},
    {QT_TRANSLATE_NOOP("Tessarin", "Tessarinの処理が終了しました"), "Tessarin finished"},
    // Where the tiles go when no save folder is set (the desktop, else home).
    {QT_TRANSLATE_NOOP("Tessarin", "/outdir の指定がないため、タイルは既定のフォルダに保存します"),
     "no /outdir given; the tiles go to the default folder"},
    // The window's dialogs of the formats' options (FormatOption::dialog).
    {QT_TRANSLATE_NOOP("Tessarin", "JPEG品質設定"), "JPEG Quality"},
    {QT_TRANSLATE_NOOP("Tessarin", "（悪 0 ～ 100 良）"), "(worst 0 to 100 best)"},
    {QT_TRANSLATE_NOOP("Tessarin", "PNG圧縮レベル設定(&P)..."), "&PNG Compression Level..."},
    {QT_TRANSLATE_NOOP("Tessarin", "PNG圧縮レベル設定"), "PNG Compression Level"},
    {QT_TRANSLATE_NOOP("Tessarin", "（無圧縮 0 ～ 9 最小）"), "(none 0 to 9 smallest)"},
};

constexpr std::string_view kOpenBracket = "【";
constexpr std::string_view kCloseBracket = "】";
constexpr std::string_view kDetailColon = "：";

std::string CatalogueLookup(std::string_view text) {
    const char* english = EnglishFor(text);
    return english ? english : std::string();
}

}  // namespace

std::span<const CatalogueEntry> EngineCatalogue() { return kEntries; }

const char* EnglishFor(std::string_view japanese) {
    for (const CatalogueEntry& entry : kEntries)
        if (japanese == entry.japanese) return entry.english;
    return nullptr;
}

std::string TranslateMessage(std::string_view text, const TextLookup& lookup) {
    std::string whole = lookup(text);
    if (!whole.empty()) return whole;
    const size_t lineEnd = text.find('\n');
    if (lineEnd != std::string_view::npos) {
        std::string head = lookup(text.substr(0, lineEnd));
        return head.empty() ? head : head + std::string(text.substr(lineEnd));
    }
    // "message：detail" (a path, say) keeps the detail after its translation.
    const size_t colon = text.find(kDetailColon);
    if (colon == std::string_view::npos) return {};
    std::string head = lookup(text.substr(0, colon));
    return head.empty() ? head
                        : head + ": " + std::string(text.substr(colon + kDetailColon.size()));
}

std::string TranslateResultLine(const std::string& line, const TextLookup& lookup) {
    if (!line.ends_with(kCloseBracket)) return line;
    const size_t end = line.size() - kCloseBracket.size();
    for (size_t open = line.rfind(kOpenBracket, end); open != std::string::npos;
         open = open == 0 ? std::string::npos : line.rfind(kOpenBracket, open - 1)) {
        const size_t start = open + kOpenBracket.size();
        const std::string reason =
            TranslateMessage(std::string_view(line).substr(start, end - start), lookup);
        if (!reason.empty()) return line.substr(0, start) + reason + std::string(kCloseBracket);
    }
    return line;
}

std::string LocalizedMessage(const std::string& text) {
    if (UsesJapaneseTexts()) return text;
    std::string english = TranslateMessage(text, CatalogueLookup);
    return english.empty() ? text : english;
}

std::string LocalizedResultLine(const std::string& line) {
    return UsesJapaneseTexts() ? line : TranslateResultLine(line, CatalogueLookup);
}

}  // namespace tessarin
