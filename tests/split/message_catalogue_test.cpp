#include "split/message_catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/jpeg/jpeg_lossless.h"
#include "imaging/png/png_private.h"
#include "split/messages.h"

namespace tessarin {
namespace {

// Every message the engine can put in a result line or ask with has an
// English entry, found by the constant's own text: a constant reworded
// without its entry fails here.
TEST(MessageCatalogue, EveryEngineMessageHasEnglish) {
    for (const char* text :
         {msg::kInvalidFile, msg::kClipFailed, msg::kSaveFailed, msg::kReadFailed, msg::kOpenFailed,
          msg::kMemoryFailed, msg::kBadPath, msg::kUnsupported, msg::kThreadFailed,
          msg::kBadSourcePath, msg::kStopped, png::kNotPng, png::kPrepareReadFailed,
          png::kBadBitDepth, png::kBadInterlace, png::kWriteFailed, png::kPrepareWriteFailed,
          jpeg::kLosslessFailed}) {
        const char* english = EnglishFor(text);
        ASSERT_NE(english, nullptr) << text;
        EXPECT_NE(std::string(english), "") << text;
    }
}

// Reasons are translated in the last bracket pair only, whatever brackets a
// path holds; lines without a known reason stay as they are.
TEST(MessageCatalogue, ResultLinesKeepTheirShape) {
    const TextLookup english = [](std::string_view text) {
        const char* found = EnglishFor(text);
        return found ? std::string(found) : std::string();
    };
    const std::pair<const char*, const char*> cases[] = {
        {"×：a.bmp【ファイルが不正です】", "×：a.bmp【The file is invalid】"},
        {"×：【ファイルが不正です】.bmp【非対応のファイル形式です】",
         "×：【ファイルが不正です】.bmp【Unsupported file format】"},
        {"△：a.jpg【キャンセルされました】", "△：a.jpg【Cancelled】"},
        {"×：a.ini【設定ファイルの書き込みに失敗しました\n\n/x/a.ini】",
         "×：a.ini【Could not write the settings file\n\n/x/a.ini】"},
        {"○：【メモ】.bmp", "○：【メモ】.bmp"},
        {"×：a.bmp【未知の理由】", "×：a.bmp【未知の理由】"},
    };
    for (const auto& [line, translated] : cases)
        EXPECT_EQ(TranslateResultLine(line, english), translated);
}

}  // namespace
}  // namespace tessarin
