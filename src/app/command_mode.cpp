#include "app/command_mode.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <filesystem>
#include <utility>

#include "app/command_help.h"
#include "app/progress_line.h"
#include "platform/console.h"
#include "platform/heap.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "split/batch_runner.h"
#include "split/message_catalogue.h"
#include "split/path_list.h"

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
        {"/help",
         [](SplitSettings&) { ConsoleWrite(Localized(kCommandHelp, kCommandHelpEnglish)); }},
        {"/aspw", [](SplitSettings& x) { x.adjustAspect = true, x.aspectBaseWidth = true; }},
        {"/asph", [](SplitSettings& x) { x.adjustAspect = true, x.aspectBaseWidth = false; }},
        {"/!asp", [](SplitSettings& x) { x.adjustAspect = false; }},
        {"/notmake", [](SplitSettings& x) { x.makeFolder = false; }},
        {"/equality", [](SplitSettings& x) { x.makeFolder = true, x.uniqueFolder = false; }},
        {"/unique", [](SplitSettings& x) { x.makeFolder = true, x.uniqueFolder = true; }},
        {"/rc", [](SplitSettings& x) { x.nameFormat = NameFormat::RowCol; }},
        {"/cr", [](SplitSettings& x) { x.nameFormat = NameFormat::ColRow; }},
        {"/h", [](SplitSettings& x) { x.nameFormat = NameFormat::AcrossCount; }},
        {"/v", [](SplitSettings& x) { x.nameFormat = NameFormat::DownCount; }},
        {"/r", [](SplitSettings& x) { x.reverse = true; }},
        {"/!r", [](SplitSettings& x) { x.reverse = false; }},
        {"/bmp", [](SplitSettings& x) { x.allBmp = true; }},
        {"/!bmp", [](SplitSettings& x) { x.allBmp = false; }},
        {"/jc", [](SplitSettings& x) { x.correctCut = true; }},
        {"/!jc", [](SplitSettings& x) { x.correctCut = false; }},
    };
    for (const Flag& flag : kFlags) {
        if (EqualsAsciiNoCase(arg, flag.name)) {
            flag.apply(s);
            return true;
        }
    }
    return false;
}

// The options that take a value.
bool IsValueOption(const std::string& arg) {
    static const char* const kNames[] = {"/ini",    "/x",  "/y",    "/xo", "/yo",   "/relative",
                                         "/outdir", "/no", "/keta", "/jq", "/copy", "/t"};
    for (const char* name : kNames)
        if (EqualsAsciiNoCase(arg, name)) return true;
    return false;
}

// Applies an option with a value (IsValueOption). Returns the path it names
// when that does not exist (a settings file or a save folder), else empty.
std::string ApplyValueOption(const std::string& arg, const std::string& value, SplitSettings& s,
                             const SettingsPaths& paths) {
    std::error_code ec;
    if (EqualsAsciiNoCase(arg, "/ini")) {
        if (!IsExistingFile(value)) return value;
        LoadSplitSettingsFrom(s, paths, value);
    } else if (EqualsAsciiNoCase(arg, "/x")) {
        ApplySizeOption(value, s.widthUnit, s.widthValue);
    } else if (EqualsAsciiNoCase(arg, "/y")) {
        ApplySizeOption(value, s.heightUnit, s.heightValue);
    } else if (EqualsAsciiNoCase(arg, "/xo")) {
        ApplyOffsetOption(value, s.offsetXUnit, s.offsetXValue);
    } else if (EqualsAsciiNoCase(arg, "/yo")) {
        ApplyOffsetOption(value, s.offsetYUnit, s.offsetYValue);
    } else if (EqualsAsciiNoCase(arg, "/relative")) {
        s.relative = true;
        s.dirLevel = std::max(0, ParseDecimalInt(value));
    } else if (EqualsAsciiNoCase(arg, "/outdir")) {
        s.relative = false;
        if (!fs::is_directory(value, ec)) return value;
        s.savePath = value;
    } else if (EqualsAsciiNoCase(arg, "/no")) {
        s.firstNumber = ParseDecimalInt(value);
    } else if (EqualsAsciiNoCase(arg, "/keta")) {
        s.digits = std::max(0, ParseDecimalInt(value));
    } else if (EqualsAsciiNoCase(arg, "/jq")) {
        s.jpegQuality = std::clamp(ParseDecimalInt(value), 0, 100);
    } else if (EqualsAsciiNoCase(arg, "/t")) {
        s.threadCount = std::max(1, ParseDecimalInt(value));
    }
    return {};
}

// "/copy all", "comments" or "none", in any ASCII case; false for anything else.
bool ParseJpegCopy(const std::string& value, JpegCopy& copy) {
    static const std::pair<const char*, JpegCopy> kValues[] = {
        {"all", JpegCopy::All}, {"comments", JpegCopy::Comments}, {"none", JpegCopy::None}};
    for (const auto& [name, choice] : kValues) {
        if (EqualsAsciiNoCase(value, name)) {
            copy = choice;
            return true;
        }
    }
    return false;
}

// An argument that is neither a file nor a known option: an option mistyped
// when it looks like one ("/tread"), else a path that does not exist.
bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '/' && arg.find('/', 1) == std::string::npos &&
           arg.find('.') == std::string::npos;
}

// The files of the command line, with the options to their left applied as
// the walk reaches them. A folder stands for the images in it. What cannot
// be used is said on standard error, and a path that does not exist makes
// the run's exit status 1.
class CommandLineFiles final : public BatchSource {
  public:
    CommandLineFiles(const std::vector<std::string>& args, SplitSettings& settings,
                     const SettingsPaths& paths)
        : args_(args), settings_(settings), paths_(paths) {}

    bool Next(BatchItem& item) override {
        while (queued_.empty() && next_ < args_.size()) Take(args_[next_++]);
        if (queued_.empty()) return false;
        item.path = std::move(queued_.front());
        queued_.pop_front();
        item.settings = &settings_;
        item.writeManifest = manifest_;
        return true;
    }

    bool NamedMissingPath() const { return missingPath_; }
    // A save folder given that did not exist, said once the tiles of the
    // next file have gone elsewhere; empty when none is pending.
    std::string TakeMissingSaveFolder() { return std::exchange(missingSaveFolder_, {}); }

  private:
    void Take(const std::string& arg) {
        std::error_code ec;
        if (IsExistingFile(arg)) {
            queued_.push_back(arg);
        } else if (fs::is_directory(arg, ec)) {
            for (std::string& file : ListFolderImages(arg, recurse_))
                queued_.push_back(std::move(file));
        } else if (EqualsAsciiNoCase(arg, "/manifest")) {
            manifest_ = true;
        } else if (EqualsAsciiNoCase(arg, "/recurse")) {
            recurse_ = true;
        } else if (EqualsAsciiNoCase(arg, "/progress")) {
            // Read before the run starts: it applies to every file.
        } else if (ApplyFlag(arg, settings_)) {
        } else if (IsValueOption(arg)) {
            if (next_ == args_.size()) {
                ConsoleWarn(arg + Localized("：値が指定されていません", ": missing value"));
                return;
            }
            const std::string& value = args_[next_++];
            if (EqualsAsciiNoCase(arg, "/copy")) {
                if (!ParseJpegCopy(value, settings_.jpegCopy))
                    ConsoleWarn(arg + " " + value +
                                Localized("：不明なオプションです（無視します）",
                                          ": unknown option (ignored)"));
                return;
            }
            const std::string missing = ApplyValueOption(arg, value, settings_, paths_);
            if (missing.empty()) return;
            missingPath_ = true;
            if (EqualsAsciiNoCase(arg, "/outdir"))
                missingSaveFolder_ = arg + " " + missing;
            else
                ConsoleWarn(arg + " " + missing +
                            Localized("：ファイルがありません", ": no such file"));
        } else if (LooksLikeOption(arg)) {
            ConsoleWarn(arg + Localized("：不明なオプションです（無視します）",
                                        ": unknown option (ignored)"));
        } else {
            missingPath_ = true;
            ConsoleWarn(arg + Localized("：ファイルまたはフォルダがありません",
                                        ": no such file or folder"));
        }
    }

    const std::vector<std::string>& args_;
    SplitSettings& settings_;
    const SettingsPaths& paths_;
    size_t next_ = 1;  // after "/cmd"
    std::deque<std::string> queued_;
    bool manifest_ = false;
    bool recurse_ = false;
    bool missingPath_ = false;
    std::string missingSaveFolder_;
};

// The result lines on standard output; on standard error, where the tiles
// went when a save folder given did not exist, and the progress line.
class ConsoleResults final : public BatchObserver {
  public:
    ConsoleResults(CommandLineFiles& files, bool showProgress)
        : files_(files), showProgress_(showProgress) {}

    void FileStarted(size_t, const std::string& path) override {
        if (showProgress_) progress_.Start(path);
    }

    void TileFinished(int64_t done, int64_t total) override {
        if (showProgress_) progress_.Update(done, total);
    }

    void FileFinished(size_t, FileOutcome, const SplitResult& result,
                      const std::string& line) override {
        if (showProgress_) progress_.End(result.tilesWritten);
        ConsoleLog(LocalizedResultLine(line));
        if (result.outputFolder.empty()) return;
        const std::string missing = files_.TakeMissingSaveFolder();
        if (!missing.empty())
            ConsoleWarn(missing +
                        Localized("：フォルダがありません。タイルの保存先：",
                                  ": no such folder; the tiles went to ") +
                        result.outputFolder);
    }

  private:
    CommandLineFiles& files_;
    bool showProgress_;
    ProgressLine progress_;
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
    } else if (!value.empty() && (value.back() == 'n' || value.back() == 'N')) {
        // The count unit as it can be typed on any keyboard: "4n" is "4個".
        unit = SizeUnit::Count;
        values[2] = std::max(1, ParseDecimalInt(value.substr(0, value.size() - 1)));
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
           frame + "\n" +
           Localized(
               "「Tessarin」のご使用ありがとうございます。\n"
               "最初のコマンドライン引数に「/cmd」を指定するとコマンド実行モードとなります。\n"
               "「/cmd」の後に「/help」を指定すると「オプション説明」を表示します。\n",
               "Thank you for using Tessarin.\n"
               "With \"/cmd\" as the first argument, Tessarin runs in the command mode.\n"
               "\"/help\" after \"/cmd\" shows the options.\n") +
           "\n";
}

ProcessStart BeginProcess(int argc, char** argv) {
    // The console write then fails, is ignored, and the files are still split.
    std::signal(SIGPIPE, SIG_IGN);
    ReturnLargeBlocksToTheSystem();
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
        return kStartWindow;
    }
    ConsoleLog(LocalizedMessage("Tessarinの処理を開始します"));
    CommandLineFiles files(args, settings, paths);
    // The progress line shows on a terminal, never in a log unless asked for.
    const bool progress = ::isatty(STDERR_FILENO) ||
                          std::any_of(args.begin(), args.end(), [](const std::string& arg) {
                              return EqualsAsciiNoCase(arg, "/progress");
                          });
    ConsoleResults console(files, progress);
    // Nothing shows the images: each file is decoded only as far as its tiles need.
    BatchOptions options;
    options.withoutViewer = true;
    const BatchResult batch = RunBatch(files, options, console);
    ConsoleLog(LocalizedMessage("Tessarinの処理が終了しました"));
    const std::string missing = files.TakeMissingSaveFolder();
    if (!missing.empty())
        ConsoleWarn(missing + Localized("：フォルダがありません", ": no such folder"));
    return batch.failed > 0 || files.NamedMissingPath() ? 1 : 0;
}

}  // namespace tessarin
