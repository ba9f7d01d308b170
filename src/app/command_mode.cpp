#include "app/command_mode.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <filesystem>
#include <span>
#include <utility>
#include <vector>

#include "app/about_text.h"
#include "app/command_help.h"
#include "app/progress_line.h"
#include "imaging/format_registry.h"
#include "platform/console.h"
#include "platform/format_option.h"
#include "platform/heap.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "split/batch_runner.h"
#include "split/message_catalogue.h"
#include "split/path_list.h"

namespace tessarin {

namespace {

namespace fs = std::filesystem;

const std::string kPieceSuffix = "個";
const char kDefaultFolderNotice[] = "/outdir の指定がないため、タイルは既定のフォルダに保存します";

bool IsExistingFile(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec) && !fs::is_directory(path, ec);
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "/help": the command mode's own options around those the formats declare.
std::string CommandHelp() {
    const bool japanese = UsesJapaneseTexts();
    std::string help = japanese ? kCommandHelpHead : kCommandHelpHeadEnglish;
    help += "  /format " + TileFormatWords(" | ") + "\n" +
            (japanese ? "    タイルの画像形式の指定（same：分割元と同じ形式、bmp は /bmp と同じ）\n"
                      : "    the format of the tiles (same: the source image's; bmp is /bmp)\n") +
            "\n";
    for (const FormatOption& option : DeclaredFormatOptions()) {
        for (const FormatOptionSpelling& spelling : option.spellings)
            help += japanese ? spelling.help : spelling.helpEnglish;
        help += "\n";
    }
    return help + (japanese ? kCommandHelpTail : kCommandHelpTailEnglish);
}

// An argument that is neither a file nor a known option: an option mistyped
// when it looks like one ("/tread"), else a path that does not exist.
bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '/' && arg.find('/', 1) == std::string::npos &&
           arg.find('.') == std::string::npos;
}

// The files of the command line, with the options to their left applied as
// the walk reaches them. A folder stands for the images in it. What cannot
// be used is said on standard error and makes the run's exit status 1.
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
        // The desktop (or the home folder) takes the tiles when no save folder
        // is set: said once, before the first file that goes there.
        std::error_code ec;
        if (!toldDefaultFolder_ && !settings_.relative && missingSaveFolder_.empty() &&
            (settings_.savePath.empty() || !fs::is_directory(settings_.savePath, ec))) {
            toldDefaultFolder_ = true;
            ConsoleWarn(LocalizedMessage(kDefaultFolderNotice) + Localized("：", ": ") +
                        DesktopFolder());
        }
        return true;
    }

    bool HadProblem() const { return problem_; }
    // A save folder given that did not exist, said once the tiles of the
    // next file have gone elsewhere; empty when none is pending.
    std::string TakeMissingSaveFolder() { return std::exchange(missingSaveFolder_, {}); }

  private:
    // An option in every spelling it has: "/outdir", "--outdir", "-o".
    struct Option {
        const char* name;      // the command mode's own, compared without case
        const char* longName;  // after "--", compared as it is; null for none
        char shortName;        // after "-"; 0 for none
        bool takesValue;
        // Null for an option a format declares: `declared` and `spelling`.
        void (*apply)(CommandLineFiles&, const std::string& value);
        const FormatOption* declared = nullptr;
        const FormatOptionSpelling* spelling = nullptr;
    };

    // The built-in options and, after them, those the formats declare.
    static std::vector<Option> AllOptions(std::span<const Option> builtIn) {
        std::vector<Option> all(builtIn.begin(), builtIn.end());
        for (const FormatOption& option : DeclaredFormatOptions())
            for (const FormatOptionSpelling& spelling : option.spellings)
                all.push_back({spelling.name, spelling.longName, 0, spelling.takesValue, nullptr,
                               &option, &spelling});
        return all;
    }

    void Run(const Option& option, const std::string& value) {
        if (option.apply) return option.apply(*this, value);
        const FormatOption& declared = *option.declared;
        int number = option.spelling->value;
        if (option.takesValue) {
            number = declared.words ? declared.ValueOfWord(value) : ParseDecimalInt(value);
            if (number < 0 && declared.words)
                return Problem(std::string(option.name) + " " + value,
                               Localized("：不明なオプションです（無視します）",
                                         ": unknown option (ignored)"));
        }
        settings_.formatOptions.Set(declared.section, declared.key, number);
    }

    // Adding an option is adding its line here.
    static const Option* FindOption(std::string_view name, std::string_view longName,
                                    char shortName) {
        using W = CommandLineFiles;
        static const Option kBuiltIn[] = {
            {"/help", "help", 0, false,
             [](W&, const std::string&) { ConsoleWrite(CommandHelp()); }},
            {"/ini", "settings", 0, true, [](W& w, const std::string& v) { w.LoadIni(v); }},
            {"/aspw", "aspect-width", 0, false,
             [](W& w, const std::string&) {
                 w.settings_.adjustAspect = true, w.settings_.aspectBaseWidth = true;
             }},
            {"/asph", "aspect-height", 0, false,
             [](W& w, const std::string&) {
                 w.settings_.adjustAspect = true, w.settings_.aspectBaseWidth = false;
             }},
            {"/!asp", "no-aspect", 0, false,
             [](W& w, const std::string&) { w.settings_.adjustAspect = false; }},
            {"/x", "width", 0, true,
             [](W& w, const std::string& v) {
                 ApplySizeOption(v, w.settings_.widthUnit, w.settings_.widthValue);
             }},
            {"/y", "height", 0, true,
             [](W& w, const std::string& v) {
                 ApplySizeOption(v, w.settings_.heightUnit, w.settings_.heightValue);
             }},
            {"/xo", "offset-x", 0, true,
             [](W& w, const std::string& v) {
                 ApplyOffsetOption(v, w.settings_.offsetXUnit, w.settings_.offsetXValue);
             }},
            {"/yo", "offset-y", 0, true,
             [](W& w, const std::string& v) {
                 ApplyOffsetOption(v, w.settings_.offsetYUnit, w.settings_.offsetYValue);
             }},
            {"/relative", "relative", 0, true,
             [](W& w, const std::string& v) {
                 w.settings_.relative = true;
                 w.settings_.dirLevel = std::max(0, ParseDecimalInt(v));
             }},
            {"/outdir", "outdir", 'o', true, [](W& w, const std::string& v) { w.SetOutdir(v); }},
            {"/notmake", "no-subfolder", 0, false,
             [](W& w, const std::string&) { w.settings_.makeFolder = false; }},
            {"/equality", "subfolder", 0, false,
             [](W& w, const std::string&) {
                 w.settings_.makeFolder = true, w.settings_.uniqueFolder = false;
             }},
            {"/unique", "folder-per-image", 0, false,
             [](W& w, const std::string&) {
                 w.settings_.makeFolder = true, w.settings_.uniqueFolder = true;
             }},
            {"/rc", "row-column", 0, false,
             [](W& w, const std::string&) { w.settings_.nameFormat = NameFormat::RowCol; }},
            {"/cr", "column-row", 0, false,
             [](W& w, const std::string&) { w.settings_.nameFormat = NameFormat::ColRow; }},
            {"/h", "count-across", 0, false,
             [](W& w, const std::string&) { w.settings_.nameFormat = NameFormat::AcrossCount; }},
            {"/v", "count-down", 0, false,
             [](W& w, const std::string&) { w.settings_.nameFormat = NameFormat::DownCount; }},
            {"/r", "from-right", 0, false,
             [](W& w, const std::string&) { w.settings_.reverse = true; }},
            {"/!r", "from-left", 0, false,
             [](W& w, const std::string&) { w.settings_.reverse = false; }},
            {"/no", "first-number", 0, true,
             [](W& w, const std::string& v) { w.settings_.firstNumber = ParseDecimalInt(v); }},
            {"/keta", "digits", 0, true,
             [](W& w, const std::string& v) {
                 w.settings_.digits = std::max(0, ParseDecimalInt(v));
             }},
            {"/bmp", "bmp", 0, false, [](W& w, const std::string&) { w.SetFormat("bmp"); }},
            {"/!bmp", "keep-format", 0, false,
             [](W& w, const std::string&) { w.SetFormat("same"); }},
            {"/format", "format", 0, true, [](W& w, const std::string& v) { w.SetFormat(v); }},
            {"/t", "threads", 'j', true,
             [](W& w, const std::string& v) {
                 w.settings_.threadCount = std::max(1, ParseDecimalInt(v));
             }},
            {"/manifest", "manifest", 0, false,
             [](W& w, const std::string&) { w.manifest_ = true; }},
            {"/recurse", "recurse", 0, false, [](W& w, const std::string&) { w.recurse_ = true; }},
            // Read before the run starts (WantsProgress): it applies to every file.
            {"/progress", "progress", 0, false, [](W&, const std::string&) {}},
        };
        static const std::vector<Option> kOptions = AllOptions(kBuiltIn);
        for (const Option& option : kOptions) {
            if ((!name.empty() && EqualsAsciiNoCase(name, option.name)) ||
                (!longName.empty() && option.longName && longName == option.longName) ||
                (shortName != 0 && shortName == option.shortName))
                return &option;
        }
        return nullptr;
    }

  public:
    // Whether an argument is /progress in any spelling.
    static bool IsProgressOption(const std::string& arg) {
        return EqualsAsciiNoCase(arg, "/progress") || arg == "--progress";
    }

  private:
    void Take(const std::string& arg) {
        std::error_code ec;
        if (IsExistingFile(arg)) {
            queued_.push_back(arg);
        } else if (fs::is_directory(arg, ec)) {
            for (std::string& file : ListFolderImages(arg, recurse_))
                queued_.push_back(std::move(file));
        } else if (optionsEnded_) {
            Problem(arg,
                    Localized("：ファイルまたはフォルダがありません", ": no such file or folder"));
        } else if (arg == "--") {
            optionsEnded_ = true;  // what follows is files, whatever it is called
        } else if (arg.starts_with("--")) {
            // GNU long options: "--outdir DIR" or "--outdir=DIR".
            const size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? equals : equals - 2);
            const Option* option = FindOption({}, name, 0);
            if (option && !option->takesValue && equals != std::string::npos)
                Problem(arg, Localized("：このオプションは値を取りません（無視します）",
                                       ": the option takes no value (ignored)"));
            else if (option && equals != std::string::npos)
                Run(*option, arg.substr(equals + 1));
            else
                Apply(option, arg);
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-') {
            // Short options: "-o DIR" or "-oDIR".
            const Option* option = FindOption({}, {}, arg[1]);
            if (option && option->takesValue && arg.size() > 2)
                Run(*option, arg.substr(2));
            else
                Apply(arg.size() == 2 ? option : nullptr, arg);
        } else if (const Option* option = FindOption(arg, {}, 0)) {
            Apply(option, arg);
        } else if (LooksLikeOption(arg)) {
            Problem(arg, Localized("：不明なオプションか、存在しないパスです",
                                   ": unknown option or no such file or folder"));
        } else {
            Problem(arg,
                    Localized("：ファイルまたはフォルダがありません", ": no such file or folder"));
        }
    }

    // An option spelled as a word of its own; its value is the next argument.
    void Apply(const Option* option, const std::string& arg) {
        if (!option) {
            Problem(arg, Localized("：不明なオプションです（無視します）",
                                   ": unknown option (ignored)"));
        } else if (!option->takesValue) {
            Run(*option, {});
        } else if (next_ == args_.size()) {
            Problem(arg, Localized("：値が指定されていません", ": missing value"));
        } else {
            Run(*option, args_[next_++]);
        }
    }

    // "/format NAME": a tile format by its name, or "same".
    void SetFormat(const std::string& name) {
        const ImageFormat* format = FindImageFormatByName(name);
        if (!EqualsAsciiNoCase(name, "same") && !(format && format->makeRasterSource))
            return Problem("/format " + name, Localized("：不明な形式です（無視します）",
                                                        ": unknown format (ignored)"));
        settings_.allBmp = format && format->kind == ImageFileKind::Bmp;
        settings_.tileFormat = format && !settings_.allBmp ? AsciiLower(format->name) : "";
    }

    void LoadIni(const std::string& path) {
        if (!IsExistingFile(path))
            Problem("/ini " + path, Localized("：ファイルがありません", ": no such file"));
        else
            LoadSplitSettingsFrom(settings_, paths_, path);
    }

    void SetOutdir(const std::string& path) {
        std::error_code ec;
        settings_.relative = false;
        if (fs::is_directory(path, ec)) {
            settings_.savePath = path;
        } else {
            problem_ = true;
            missingSaveFolder_ = "/outdir " + path;
        }
    }

    void Problem(const std::string& what, const char* why) {
        problem_ = true;
        ConsoleWarn(what + why);
    }

    const std::vector<std::string>& args_;
    SplitSettings& settings_;
    const SettingsPaths& paths_;
    size_t next_ = 1;  // after "/cmd"
    std::deque<std::string> queued_;
    bool manifest_ = false;
    bool recurse_ = false;
    bool problem_ = false;
    bool toldDefaultFolder_ = false;
    bool optionsEnded_ = false;
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
           "  Guide: man tessarin, and <prefix>/share/doc/tessarin/Readme.txt\n"
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
                          std::any_of(args.begin(), args.end(), CommandLineFiles::IsProgressOption);
    ConsoleResults console(files, progress);
    // Nothing shows the images: each file is decoded only as far as its tiles need.
    BatchOptions options;
    options.withoutViewer = true;
    const BatchResult batch = RunBatch(files, options, console);
    ConsoleLog(LocalizedMessage("Tessarinの処理が終了しました"));
    const std::string missing = files.TakeMissingSaveFolder();
    if (!missing.empty())
        ConsoleWarn(missing + Localized("：フォルダがありません", ": no such folder"));
    return batch.failed > 0 || files.HadProblem() || ConsoleOutputFailed() ? 1 : 0;
}

}  // namespace tessarin
