#pragma once
// The JPEG code's own failure messages.

namespace tessarin::jpeg {

inline constexpr const char* kHeaderFailed = "ヘッダ情報の読み込みに失敗しました";
inline constexpr const char* kExpandFailed = "ファイルの展開に失敗しました";
inline constexpr const char* kRasterFailed = "BMPオブジェクトの作成に失敗しました";
inline constexpr const char* kImageDataFailed = "イメージデータの取得に失敗しました";
inline constexpr const char* kLosslessFailed = "jpegtranを使った分割処理に失敗しました";

}  // namespace tessarin::jpeg
