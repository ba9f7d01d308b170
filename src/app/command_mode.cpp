#include "app/command_mode.h"

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "app/command_help.h"
#include "platform/console.h"
#include "platform/text.h"
#include "split/batch_runner.h"

namespace tessarin {

namespace {

namespace fs = std::filesystem;

const std::string kPieceSuffix = "個";

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
        if (EqualsAsciiNoCase(arg, flag.name)) {
            flag.apply(s);
            return true;
        }
    }
    return false;
}

// Options with a value; false when `arg` is not one.
bool ApplyValueOption(const std::string& arg, const std::string& value, SplitSettings& s,
                      const SettingsPaths& paths) {
    if (EqualsAsciiNoCase(arg, "/ini")) {
        if (IsExistingFile(value)) LoadSplitSettingsFrom(s, paths, value);
    } else if (EqualsAsciiNoCase(arg, "/x")) {
        ApplySizeOption(value, s.widthUnit, s.widthValue);
    } else if (EqualsAsciiNoCase(arg, "/y")) {
        ApplySizeOption(value, s.heightUnit, s.heightValue);
    } else if (EqualsAsciiNoCase(arg, "/xo")) {
        ApplyOffsetOption(value, s.offsetXUnit, s.offsetXValue);
    } else if (EqualsAsciiNoCase(arg, "/yo")) {
        ApplyOffsetOption(value, s.offsetYUnit, s.offsetYValue);
    } else if (EqualsAsciiNoCase(arg, "/relative")) {
        s.relative = 1;
        s.dirLevel = std::max(0, ParseDecimalInt(value));
    } else if (EqualsAsciiNoCase(arg, "/outdir")) {
        s.relative = 0;
        std::error_code ec;
        if (fs::is_directory(value, ec)) s.savePath = value;
    } else if (EqualsAsciiNoCase(arg, "/no")) {
        s.firstNumber = ParseDecimalInt(value);
    } else if (EqualsAsciiNoCase(arg, "/keta")) {
        s.digits = std::max(0, ParseDecimalInt(value));
    } else if (EqualsAsciiNoCase(arg, "/jq")) {
        s.jpegQuality = std::clamp(ParseDecimalInt(value), 0, 100);
    } else if (EqualsAsciiNoCase(arg, "/t")) {
        s.threadCount = std::max(1, ParseDecimalInt(value));
    } else {
        return false;
    }
    return true;
}

// The files of the command line, with the options to their left applied as
// the walk reaches them.
class CommandLineFiles final : public BatchSource {
  public:
    CommandLineFiles(const std::vector<std::string>& args, SplitSettings& settings,
                     const SettingsPaths& paths)
        : args_(args), settings_(settings), paths_(paths) {}

    bool Next(BatchItem& item) override {
        while (next_ < args_.size()) {
            const std::string& arg = args_[next_++];
            if (IsExistingFile(arg)) {
                item.path = arg;
                item.settings = &settings_;
                item.writeManifest = manifest_;
                return true;
            }
            if (EqualsAsciiNoCase(arg, "/manifest")) {
                manifest_ = true;
                continue;
            }
            if (ApplyFlag(arg, settings_)) continue;
            if (next_ == args_.size()) break;
            if (ApplyValueOption(arg, args_[next_], settings_, paths_)) ++next_;
        }
        return false;
    }

  private:
    const std::vector<std::string>& args_;
    SplitSettings& settings_;
    const SettingsPaths& paths_;
    size_t next_ = 1;  // after "/cmd"
    bool manifest_ = false;
};

class ConsoleResults final : public BatchObserver {
  public:
    void FileFinished(size_t, FileOutcome, const SplitResult&, const std::string& line) override {
        ConsoleLog(line);
    }
};

}  // namespace

void ApplySizeOption(const std::string& value, SizeUnit& unit, double values[3]) {
    if (EndsWith(value, "%")) {
        unit = SizeUnit::Percent;
        values[1] = ClampPercent(ParseCReal(std::string_view(value).substr(0, value.size() - 1)));
    } else if (EndsWith(value, kPieceSuffix)) {
        unit = SizeUnit::Count;
        values[2] =
            std::max(1, ParseDecimalInt(value.substr(0, value.size() - kPieceSuffix.size())));
    } else {
        unit = SizeUnit::Pixel;
        values[0] = std::max(0, ParseDecimalInt(value));
    }
}

void ApplyOffsetOption(const std::string& value, SizeUnit& unit, double values[2]) {
    if (EndsWith(value, "%")) {
        unit = SizeUnit::Percent;
        values[1] = ClampPercent(ParseCReal(std::string_view(value).substr(0, value.size() - 1)));
    } else {
        unit = SizeUnit::Pixel;
        values[0] = std::max(0, ParseDecimalInt(value));
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

ProcessStart BeginProcess(int argc, char** argv) {
    // The console write then fails, is ignored, and the files are still split.
    std::signal(SIGPIPE, SIG_IGN);
    ProcessStart start;
    start.paths = ResolveSettingsPaths();
    LoadSplitSettings(start.settings, start.paths);
    start.args.assign(argv + 1, argv + argc);
    return start;
}

bool IsCommandModeRequest(const std::vector<std::string>& args) {
    return !args.empty() && EqualsAsciiNoCase(args[0], "/cmd");
}

int RunCommandMode(const std::vector<std::string>& args, SplitSettings& settings,
                   const SettingsPaths& paths) {
    if (!IsCommandModeRequest(args)) {
        ConsoleWrite(CommandBanner());
        return 0;
    }
    ConsoleLog("Tessarinの処理を開始します");
    CommandLineFiles files(args, settings, paths);
    ConsoleResults console;
    // Nothing shows the images: each file is decoded only as far as its tiles need.
    BatchOptions options;
    options.withoutViewer = true;
    RunBatch(files, options, console);
    ConsoleLog("Tessarinの処理が終了しました");
    return 1;
}

}  // namespace tessarin
