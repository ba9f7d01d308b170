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
// The folder N levels above the source does not exist (past the root).
inline constexpr const char* kNoOutputFolder = "保存フォルダが存在しません";
// The automatic sub-folder's name is taken by a symbolic link.
inline constexpr const char* kOutputFolderIsLink = "保存フォルダがシンボリックリンクです";
// Followed by "：" and the other source's path.
inline constexpr const char* kTileNamesTaken = "タイル名が別のファイルで使われています";
// The source was rewritten while it was read or cut.
inline constexpr const char* kSourceChanged = "分割中にファイルが変更されました";

}  // namespace tessarin::msg
