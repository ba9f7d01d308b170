#pragma once
// Failure messages shared by the loader, the job core and the tile workers.

namespace tessarin::msg {

inline constexpr const char* kInvalidFile = "ファイルが不正です";
inline constexpr const char* kBadPath = "ファイルのパスが不正です";
inline constexpr const char* kUnsupported = "非対応のファイル形式です";
inline constexpr const char* kThreadFailed = "スレッドの作成に失敗しました";
inline constexpr const char* kBadSourcePath = "分割対象ファイルのパスが不正です";
inline constexpr const char* kClipFailed = "画像のクリッピングに失敗しました";
inline constexpr const char* kSaveFailed = "ファイルの保存に失敗しました";
inline constexpr const char* kReadFailed = "ファイルの読み込みに失敗しました";
inline constexpr const char* kOutOfMemory = "メモリ領域の確保に失敗しました";
inline constexpr const char* kOpenFailed = "ファイルを開くのに失敗しました";
inline constexpr const char* kSettingsWriteFailed = "設定ファイルの書き込みに失敗しました\n\n%s";

}  // namespace tessarin::msg
