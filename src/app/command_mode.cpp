#include "app/command_mode.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

#include "app/command_help.h"
#include "platform/console.h"
#include "settings/number_text.h"
#include "split/job_core.h"

namespace tessarin {

namespace {

namespace fs = std::filesystem;

const std::string kPieceSuffix = "個";

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsExistingFile(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec) && !fs::is_directory(path, ec);
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Options without a value; false when `arg` is not one.
bool ApplyFlag(const std::string& arg, SplitSettings& s) {
    struct Flag {
        const char* name;
        void (*apply)(SplitSettings&);
    };
    static const Flag kFlags[] = {
        {"/help", [](SplitSettings&) { ConsoleWrite(kCommandHelp); }},
        {"/aspw", [](SplitSettings& x) { x.adjustAspect = 1, x.aspectBaseWidth = 1; }},
        {"/asph", [](SplitSettings& x) { x.adjustAspect = 1, x.aspectBaseWidth = 0; }},
        {"/!asp", [](SplitSettings& x) { x.adjustAspect = 0; }},
        {"/notmake", [](SplitSettings& x) { x.makeFolder = 0; }},
        {"/equality", [](SplitSettings& x) { x.makeFolder = 1, x.uniqueFolder = 0; }},
        {"/unique", [](SplitSettings& x) { x.makeFolder = 1, x.uniqueFolder = 1; }},
        {"/rc", [](SplitSettings& x) { x.nameFormat = NameFormat::RowCol; }},
        {"/cr", [](SplitSettings& x) { x.nameFormat = NameFormat::ColRow; }},
        {"/h", [](SplitSettings& x) { x.nameFormat = NameFormat::AcrossCount; }},
        {"/v", [](SplitSettings& x) { x.nameFormat = NameFormat::DownCount; }},
        {"/r", [](SplitSettings& x) { x.reverse = 1; }},
        {"/!r", [](SplitSettings& x) { x.reverse = 0; }},
        {"/bmp", [](SplitSettings& x) { x.allBmp = 1; }},
        {"/!bmp", [](SplitSettings& x) { x.allBmp = 0; }},
        {"/jc", [](SplitSettings& x) { x.correctCut = 1; }},
        {"/!jc", [](SplitSettings& x) { x.correctCut = 0; }},
    };
    for (const Flag& flag : kFlags) {
        if (EqualsNoCase(arg, flag.name)) {
            flag.apply(s);
            return true;
        }
    }
    return false;
}

// Options with a value; false when `arg` is not one.
bool ApplyValueOption(const std::string& arg, const std::string& value, SplitSettings& s,
                      const SettingsPaths& paths) {
    if (EqualsNoCase(arg, "/ini")) {
        if (IsExistingFile(value)) LoadSplitSettingsFrom(s, paths, value);
    } else if (EqualsNoCase(arg, "/x")) {
        ApplySizeOption(value, s.widthUnit, s.widthValue);
    } else if (EqualsNoCase(arg, "/y")) {
        ApplySizeOption(value, s.heightUnit, s.heightValue);
    } else if (EqualsNoCase(arg, "/xo")) {
        ApplyOffsetOption(value, s.offsetXUnit, s.offsetXValue);
    } else if (EqualsNoCase(arg, "/yo")) {
        ApplyOffsetOption(value, s.offsetYUnit, s.offsetYValue);
    } else if (EqualsNoCase(arg, "/relative")) {
        s.relative = 1;
        s.dirLevel = std::max(0, ParseOptionInt(value));
    } else if (EqualsNoCase(arg, "/outdir")) {
        s.relative = 0;
        std::error_code ec;
        if (fs::is_directory(value, ec)) s.savePath = value;
    } else if (EqualsNoCase(arg, "/no")) {
        s.firstNumber = ParseOptionInt(value);
    } else if (EqualsNoCase(arg, "/keta")) {
        s.digits = std::max(0, ParseOptionInt(value));
    } else if (EqualsNoCase(arg, "/jq")) {
        s.jpegQuality = std::clamp(ParseOptionInt(value), 0, 100);
    } else if (EqualsNoCase(arg, "/t")) {
        s.threadCount = std::max(1, ParseOptionInt(value));
    } else {
        return false;
    }
    return true;
}

}  // namespace

int ParseOptionInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{std::numeric_limits<int>::max()} + 1)
            value = int64_t{std::numeric_limits<int>::max()} + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

void ApplySizeOption(const std::string& value, SizeUnit& unit, double values[3]) {
    if (EndsWith(value, "%")) {
        unit = SizeUnit::Percent;
        values[1] = ClampPercent(ParseCReal(std::string_view(value).substr(0, value.size() - 1)));
    } else if (EndsWith(value, kPieceSuffix)) {
        unit = SizeUnit::Count;
        values[2] =
            std::max(1, ParseOptionInt(value.substr(0, value.size() - kPieceSuffix.size())));
    } else {
        unit = SizeUnit::Pixel;
        values[0] = std::max(0, ParseOptionInt(value));
    }
}

void ApplyOffsetOption(const std::string& value, SizeUnit& unit, double values[2]) {
    if (EndsWith(value, "%")) {
        unit = SizeUnit::Percent;
        values[1] = ClampPercent(ParseCReal(std::string_view(value).substr(0, value.size() - 1)));
    } else {
        unit = SizeUnit::Pixel;
        values[0] = std::max(0, ParseOptionInt(value));
    }
}

std::string CommandBanner() {
    std::string frame = "  ";
    for (int i = 0; i < 18; ++i) frame += "--==";
    frame += "--\n";
    return "\n\n" + frame + "\n" + std::string(28, ' ') +
           "Tessarin Version " TESSARIN_VERSION "\n\n" +
           "  Made by the Tessarin developers\n"
           "  Documentation: Readme.txt beside the program\n"
           "\n" +
           frame +
           "\n"
           "「Tessarin」のご使用ありがとうございます。\n"
           "最初のコマンドライン引数に「/cmd」を指定するとコマンド実行モードとなります。\n"
           "「/cmd」の後に「/help」を指定すると「オプション説明」を表示します。\n"
           "\n";
}

int RunCommandMode(const std::vector<std::string>& args, SplitSettings& settings,
                   const SettingsPaths& paths) {
    if (args.empty() || !EqualsNoCase(args[0], "/cmd")) {
        ConsoleWrite(CommandBanner());
        return 0;
    }
    SetCommandMode(true);
    ConsoleLog("Tessarinの処理を開始します");
    CurrentImage image;
    JobState job;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsExistingFile(arg)) {
            ConsoleLog(CommandModeFileRun(arg, image, settings, job));
            image = CurrentImage{};  // free the raster between files
            continue;
        }
        if (ApplyFlag(arg, settings)) continue;
        if (i + 1 == args.size()) break;
        if (ApplyValueOption(arg, args[i + 1], settings, paths)) ++i;
    }
    ConsoleLog("Tessarinの処理が終了しました");
    return 1;
}

}  // namespace tessarin
