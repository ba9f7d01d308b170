#pragma once
// Failure messages of the loader and the split job; the readers' and writers'
// own messages are in imaging/messages.h.

#include "imaging/messages.h"

namespace tessarin::msg {

inline constexpr const char* kBadPath = "ファイルのパスが不正です";
inline constexpr const char* kUnsupported = "非対応のファイル形式です";
inline constexpr const char* kThreadFailed = "スレッドの作成に失敗しました";
inline constexpr const char* kBadSourcePath = "分割対象ファイルのパスが不正です";
// A split ended by a stop request before its last tile.
inline constexpr const char* kStopped = "分割処理中止";

}  // namespace tessarin::msg
