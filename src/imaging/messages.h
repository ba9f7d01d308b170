#pragma once
// Failure messages of the readers, the writers and the tile sources.

namespace tessarin::msg {

inline constexpr const char* kInvalidFile = "ファイルが不正です";
inline constexpr const char* kClipFailed = "画像のクリッピングに失敗しました";
inline constexpr const char* kSaveFailed = "ファイルの保存に失敗しました";
inline constexpr const char* kReadFailed = "ファイルの読み込みに失敗しました";
inline constexpr const char* kOpenFailed = "ファイルを開くのに失敗しました";
inline constexpr const char* kMemoryFailed = "メモリ領域の確保に失敗しました";

}  // namespace tessarin::msg
