#include "ui/window/command_actions.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <span>

#include "imaging/format_registry.h"
#include "platform/format_option.h"
#include "ui/window/command_ids.h"

namespace tessarin {

namespace {

constexpr const char* kContext = "Tessarin";

QString Tr(const char* text) { return QCoreApplication::translate(kContext, text); }

enum class Kind { Plain, Check, Radio };
enum Group { kNoGroup, kPlacementGroup, kSlotGroup, kAspectGroup, kCopyGroup, kTileFormatGroup };

struct CommandEntry {
    int id;
    const char* text;  // the text after "\t" is the accelerator as the menu shows it
    int key;           // the accelerator, 0 for none
    Kind kind;
    Group group;
};

// clang-format off
const CommandEntry kCommands[] = {
    {cmd::kReadme, QT_TRANSLATE_NOOP("Tessarin", "Readme.txt(&H)\tF1"), Qt::Key_F1, Kind::Plain, kNoGroup},
    {cmd::kAbout, QT_TRANSLATE_NOOP("Tessarin", "バージョン情報(&A)"), 0, Kind::Plain, kNoGroup},
    {cmd::kOpenFile, QT_TRANSLATE_NOOP("Tessarin", "ファイルを開く(&O)...\tF2"), Qt::Key_F2, Kind::Plain, kNoGroup},
    {cmd::kNextFile, QT_TRANSLATE_NOOP("Tessarin", "次のファイルを開く(&T)"), 0, Kind::Plain, kNoGroup},
    {cmd::kPreviousFile, QT_TRANSLATE_NOOP("Tessarin", "前のファイルを開く(&M)"), 0, Kind::Plain, kNoGroup},
    {cmd::kExit, QT_TRANSLATE_NOOP("Tessarin", "終了(&X)\tAlt+F4"), static_cast<int>(Qt::ALT) | Qt::Key_F4, Kind::Plain, kNoGroup},
    {cmd::kSplit, QT_TRANSLATE_NOOP("Tessarin", "分割実行(&E)\tF3"), Qt::Key_F3, Kind::Plain, kNoGroup},
    {cmd::kSplitSize, QT_TRANSLATE_NOOP("Tessarin", "分割サイズ＆オフセット設定(&B)...\tF4"), Qt::Key_F4, Kind::Plain, kNoGroup},
    {cmd::kNegativeLine, QT_TRANSLATE_NOOP("Tessarin", "分割線を反転色で描画する(&A)"), 0, Kind::Check, kNoGroup},
    {cmd::kNamingRule, QT_TRANSLATE_NOOP("Tessarin", "ファイル命名規則設定(&F)...\tF5"), Qt::Key_F5, Kind::Plain, kNoGroup},
    {cmd::kSaveFolder, QT_TRANSLATE_NOOP("Tessarin", "保存フォルダ設定(&H)...\tF6"), Qt::Key_F6, Kind::Plain, kNoGroup},
    {cmd::kCorrectCut, QT_TRANSLATE_NOOP("Tessarin", "JPEGが多少劣化しても正確な位置で分割(&J)\tF9"), Qt::Key_F9, Kind::Check, kNoGroup},
    {cmd::kAllBmp, QT_TRANSLATE_NOOP("Tessarin", "全てBMPで出力する(&S)\tF8"), Qt::Key_F8, Kind::Check, kNoGroup},
    {cmd::kAdjustAspect, QT_TRANSLATE_NOOP("Tessarin", "分割サイズの縦横比をオリジナル画像と合わせる(&A)\tF7"), Qt::Key_F7, Kind::Check, kNoGroup},
    {cmd::kViewerMode, QT_TRANSLATE_NOOP("Tessarin", "ビューアモード(&V)\tF11"), Qt::Key_F11, Kind::Check, kNoGroup},
    {cmd::kSameScale, QT_TRANSLATE_NOOP("Tessarin", "最初は等倍で表示(&S)"), 0, Kind::Check, kNoGroup},
    {cmd::kCutLine, QT_TRANSLATE_NOOP("Tessarin", "分割線(&L)"), 0, Kind::Check, kNoGroup},
    {cmd::kInfo, QT_TRANSLATE_NOOP("Tessarin", "情報表示(&I)\tF12"), Qt::Key_F12, Kind::Check, kNoGroup},
    {cmd::kImageInfo, QT_TRANSLATE_NOOP("Tessarin", "画像情報(&G)"), 0, Kind::Check, kNoGroup},
    {cmd::kSettingsFileInfo, QT_TRANSLATE_NOOP("Tessarin", "設定ファイル(&C)"), 0, Kind::Check, kNoGroup},
    {cmd::kSaveFolderInfo, QT_TRANSLATE_NOOP("Tessarin", "保存フォルダ(&F)"), 0, Kind::Check, kNoGroup},
    {cmd::kAspectInfo, QT_TRANSLATE_NOOP("Tessarin", "縦横比合致(&T)"), 0, Kind::Check, kNoGroup},
    {cmd::kCutSizeInfo, QT_TRANSLATE_NOOP("Tessarin", "分割サイズ(&B)"), 0, Kind::Check, kNoGroup},
    {cmd::kOffsetInfo, QT_TRANSLATE_NOOP("Tessarin", "オフセット(&O)"), 0, Kind::Check, kNoGroup},
    {cmd::kNameRuleInfo, QT_TRANSLATE_NOOP("Tessarin", "命名規則(&M)"), 0, Kind::Check, kNoGroup},
    {cmd::kScaleInfo, QT_TRANSLATE_NOOP("Tessarin", "表示倍率(&H)"), 0, Kind::Check, kNoGroup},
    {cmd::kJpegQualityInfo, QT_TRANSLATE_NOOP("Tessarin", "JPEG品質(&J)"), 0, Kind::Check, kNoGroup},
    {cmd::kThreadInfo, QT_TRANSLATE_NOOP("Tessarin", "分割同時処理数(&D)"), 0, Kind::Check, kNoGroup},
    {cmd::kCutCountInfo, QT_TRANSLATE_NOOP("Tessarin", "分割数(&N)"), 0, Kind::Check, kNoGroup},
    {cmd::kSelectedCountInfo, QT_TRANSLATE_NOOP("Tessarin", "選択数(&E)"), 0, Kind::Check, kNoGroup},
    {cmd::kBreakdownInfo, QT_TRANSLATE_NOOP("Tessarin", "分割内訳(&U)"), 0, Kind::Check, kNoGroup},
    {cmd::kPosNormal, QT_TRANSLATE_NOOP("Tessarin", "ノーマル(&N)"), 0, Kind::Radio, kPlacementGroup},
    {cmd::kPosMaximized, QT_TRANSLATE_NOOP("Tessarin", "最大化(&S)"), 0, Kind::Radio, kPlacementGroup},
    {cmd::kPosRestore, QT_TRANSLATE_NOOP("Tessarin", "前回終了時のサイズと位置を復元(&Z)"), 0, Kind::Radio, kPlacementGroup},
    {cmd::kAutoCut, QT_TRANSLATE_NOOP("Tessarin", "ファイルを開くと同時に分割を実行(&F)"), 0, Kind::Check, kNoGroup},
    {cmd::kIconDrop, QT_TRANSLATE_NOOP("Tessarin", "アイコンへのドラッグ＆ドロップ分割実行(&A)"), 0, Kind::Check, kNoGroup},
    {cmd::kNoBmp16Notice, QT_TRANSLATE_NOOP("Tessarin", "16ビットBMPの減色確認メッセージを非表示(&M)"), 0, Kind::Check, kNoGroup},
    {cmd::kLineDrag, QT_TRANSLATE_NOOP("Tessarin", "分割線ドラッグ＆ドロップ(&D)"), 0, Kind::Check, kNoGroup},
    {cmd::kHalftone, QT_TRANSLATE_NOOP("Tessarin", "拡大表示時、滑らかにする(&K)"), 0, Kind::Check, kNoGroup},
    {cmd::kZoomRate, QT_TRANSLATE_NOOP("Tessarin", "表示倍率変化率設定(&H)..."), 0, Kind::Plain, kNoGroup},
    {cmd::kThreadCount, QT_TRANSLATE_NOOP("Tessarin", "分割同時処理数設定(&B)..."), 0, Kind::Plain, kNoGroup},
    {cmd::kFirstSlot, QT_TRANSLATE_NOOP("Tessarin", "設定０(&0)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 1, QT_TRANSLATE_NOOP("Tessarin", "設定１(&1)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 2, QT_TRANSLATE_NOOP("Tessarin", "設定２(&2)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 3, QT_TRANSLATE_NOOP("Tessarin", "設定３(&3)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 4, QT_TRANSLATE_NOOP("Tessarin", "設定４(&4)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 5, QT_TRANSLATE_NOOP("Tessarin", "設定５(&5)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 6, QT_TRANSLATE_NOOP("Tessarin", "設定６(&6)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 7, QT_TRANSLATE_NOOP("Tessarin", "設定７(&7)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 8, QT_TRANSLATE_NOOP("Tessarin", "設定８(&8)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kFirstSlot + 9, QT_TRANSLATE_NOOP("Tessarin", "設定９(&9)"), 0, Kind::Radio, kSlotGroup},
    {cmd::kRenameSlot, QT_TRANSLATE_NOOP("Tessarin", "名前を変更(&N)..."), 0, Kind::Plain, kNoGroup},
    {cmd::kAspectWidth, QT_TRANSLATE_NOOP("Tessarin", "横幅を基準に高さを算出(&W)"), 0, Kind::Radio, kAspectGroup},
    {cmd::kAspectHeight, QT_TRANSLATE_NOOP("Tessarin", "高さを基準に横幅を算出(&H)"), 0, Kind::Radio, kAspectGroup},
    {cmd::kLoadSettings, QT_TRANSLATE_NOOP("Tessarin", "分割設定を読み込む(&B)..."), 0, Kind::Plain, kNoGroup},
    {cmd::kSaveSettingsAs, QT_TRANSLATE_NOOP("Tessarin", "分割設定に名前を付けて保存(&A)..."), 0, Kind::Plain, kNoGroup},
    {cmd::kSelectionMode, QT_TRANSLATE_NOOP("Tessarin", "出力画像選択モード(&C)\tF10"), Qt::Key_F10, Kind::Check, kNoGroup},
    {cmd::kNotOverwrite, QT_TRANSLATE_NOOP("Tessarin", "変更で上書きしない(&H)"), 0, Kind::Check, kNoGroup},
    {cmd::kIconDropErrorsOnly, QT_TRANSLATE_NOOP("Tessarin", "エラーが有った場合のみ結果メッセージを表示(&E)"), 0, Kind::Check, kNoGroup},
    {cmd::kSnapToGrid, QT_TRANSLATE_NOOP("Tessarin", "分割位置をJPEGのブロックに合わせる(&G)"), 0, Kind::Plain, kNoGroup},
    {cmd::kCopyAll, QT_TRANSLATE_NOOP("Tessarin", "全てのマーカー(&A)"), 0, Kind::Radio, kCopyGroup},
    {cmd::kCopyComments, QT_TRANSLATE_NOOP("Tessarin", "コメントのみ(&C)"), 0, Kind::Radio, kCopyGroup},
    {cmd::kCopyNone, QT_TRANSLATE_NOOP("Tessarin", "コピーしない(&N)"), 0, Kind::Radio, kCopyGroup},
    {cmd::kCopyIcc, QT_TRANSLATE_NOOP("Tessarin", "カラープロファイルのみ(&I)"), 0, Kind::Radio, kCopyGroup},
    {cmd::kFirstTileFormat, QT_TRANSLATE_NOOP("Tessarin", "分割元と同じ形式(&O)"), 0, Kind::Radio, kTileFormatGroup},
};
// clang-format on

// The menu bar as a flat list: a menu starts with its title and ends with
// kEnd; menus nest.
struct MenuEntry {
    // kFormatOptions: the items of the formats' options, after a separator
    // (none when no format declares one). kTileFormats: a radio item for
    // each format that writes other files' tiles.
    enum Type { kMenu, kEnd, kItem, kSeparator, kFormatOptions, kTileFormats } type;
    int id = 0;
    const char* title = nullptr;
};

constexpr MenuEntry Menu(const char* title) { return {MenuEntry::kMenu, 0, title}; }
constexpr MenuEntry End() { return {MenuEntry::kEnd}; }
constexpr MenuEntry Item(int id) { return {MenuEntry::kItem, id}; }
constexpr MenuEntry Separator() { return {MenuEntry::kSeparator}; }
constexpr MenuEntry FormatOptions() { return {MenuEntry::kFormatOptions}; }
constexpr MenuEntry TileFormats() { return {MenuEntry::kTileFormats}; }

// clang-format off
const MenuEntry kMenuBar[] = {
    Menu(QT_TRANSLATE_NOOP("Tessarin", "ファイル(&F)")),
        Item(cmd::kOpenFile), Item(cmd::kNextFile), Item(cmd::kPreviousFile), Separator(),
        Item(cmd::kExit),
    End(),
    // The second menu doubles as the popup menu of the image.
    Menu(QT_TRANSLATE_NOOP("Tessarin", "分割(&B)")),
        Item(cmd::kSplit), Separator(),
        Item(cmd::kSplitSize), Item(cmd::kNamingRule), Item(cmd::kSaveFolder), Separator(),
        Item(cmd::kAdjustAspect), Item(cmd::kAspectWidth), Item(cmd::kAspectHeight), Separator(),
        Item(cmd::kAllBmp), Item(cmd::kCorrectCut), Separator(),
        Item(cmd::kSelectionMode),
    End(),
    Menu(QT_TRANSLATE_NOOP("Tessarin", "分割設定(&S)")),
        Item(cmd::kFirstSlot), Item(cmd::kFirstSlot + 1), Item(cmd::kFirstSlot + 2),
        Item(cmd::kFirstSlot + 3), Item(cmd::kFirstSlot + 4), Item(cmd::kFirstSlot + 5),
        Item(cmd::kFirstSlot + 6), Item(cmd::kFirstSlot + 7), Item(cmd::kFirstSlot + 8),
        Item(cmd::kFirstSlot + 9), Separator(),
        Item(cmd::kRenameSlot), Separator(),
        Item(cmd::kLoadSettings), Item(cmd::kSaveSettingsAs), Separator(),
        Item(cmd::kNotOverwrite), Separator(),
        Item(cmd::kSnapToGrid),
        Menu(QT_TRANSLATE_NOOP("Tessarin", "無劣化JPEGタイルのメタデータ(&M)")),
            Item(cmd::kCopyAll), Item(cmd::kCopyComments), Item(cmd::kCopyNone),
            Item(cmd::kCopyIcc),
        End(),
        Menu(QT_TRANSLATE_NOOP("Tessarin", "タイルの形式(&T)")),
            Item(cmd::kFirstTileFormat), Separator(), TileFormats(),
        End(),
        FormatOptions(),
    End(),
    Menu(QT_TRANSLATE_NOOP("Tessarin", "表示(&V)")),
        Item(cmd::kViewerMode), Item(cmd::kSameScale), Item(cmd::kHalftone), Separator(),
        Item(cmd::kCutLine), Item(cmd::kNegativeLine), Separator(),
        Item(cmd::kInfo),
        // The panel lines in the order the panel draws them.
        Menu(QT_TRANSLATE_NOOP("Tessarin", "情報表示項目(&P)")),
            Item(cmd::kImageInfo), Item(cmd::kSettingsFileInfo), Item(cmd::kSaveFolderInfo),
            Item(cmd::kAspectInfo), Item(cmd::kCutSizeInfo), Item(cmd::kOffsetInfo),
            Item(cmd::kCutCountInfo), Item(cmd::kSelectedCountInfo), Item(cmd::kBreakdownInfo),
            Item(cmd::kNameRuleInfo), Item(cmd::kJpegQualityInfo), Item(cmd::kThreadInfo),
            Item(cmd::kScaleInfo),
        End(),
    End(),
    Menu(QT_TRANSLATE_NOOP("Tessarin", "オプション(&O)")),
        Menu(QT_TRANSLATE_NOOP("Tessarin", "起動時ウィンドウ設定(&K)")),
            Item(cmd::kPosNormal), Item(cmd::kPosMaximized), Item(cmd::kPosRestore),
        End(),
        Separator(),
        Item(cmd::kAutoCut), Item(cmd::kIconDrop), Item(cmd::kIconDropErrorsOnly),
        Item(cmd::kNoBmp16Notice), Item(cmd::kLineDrag), Separator(),
        Item(cmd::kZoomRate), Item(cmd::kThreadCount),
    End(),
    Menu(QT_TRANSLATE_NOOP("Tessarin", "ヘルプ(&H)")),
        Item(cmd::kReadme), Separator(),
        Item(cmd::kAbout),
    End(),
};
// clang-format on

}  // namespace

CommandActions::CommandActions(QMainWindow* window) : QObject(window) {
    CreateActions(window);
    BuildMenuBar(window);
}

QAction* CommandActions::Action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CommandActions::CreateActions(QMainWindow* window) {
    std::map<Group, QActionGroup*> groups;
    for (const CommandEntry& entry : kCommands) {
        auto* action = new QAction(Tr(entry.text), window);
        action->setData(entry.id);
        action->setCheckable(entry.kind != Kind::Plain);
        if (entry.key) {
            action->setShortcut(QKeySequence(entry.key));
            action->setShortcutContext(Qt::ApplicationShortcut);
            // Shortcuts work while the menus are closed only for actions the
            // window itself holds.
            window->addAction(action);
        }
        if (entry.group != kNoGroup) {
            QActionGroup*& group = groups[entry.group];
            if (!group) group = new QActionGroup(this);
            group->addAction(action);
        }
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
        actions_[id] = action;
    }
    const std::span<const FormatOption> options = DeclaredFormatOptions();
    for (size_t i = 0; i < options.size(); ++i) {
        if (!options[i].dialog.menuText) continue;
        auto* action = new QAction(Tr(options[i].dialog.menuText), window);
        const int id = cmd::kFirstFormatOption + static_cast<int>(i);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
        actions_[id] = action;
        formatOptionIds_.push_back(id);
    }
    QActionGroup* tileFormats = Action(cmd::kFirstTileFormat)->actionGroup();
    QString taken = QStringLiteral("O");  // the source's own format's
    for (const ImageFormat* format : ImageFormats()) {
        if (!format->makeRasterSource) continue;
        // The format's own name, the same in every language, with the first
        // of its letters that no item before it has for its mnemonic.
        QString text = QString::fromUtf8(format->name);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!text[i].isLetter() || taken.contains(text[i].toUpper())) continue;
            taken += text[i].toUpper();
            text.insert(i, u'&');
            break;
        }
        auto* action = new QAction(text, window);
        const int id = cmd::kFirstTileFormat + static_cast<int>(format->kind);
        action->setData(id);
        action->setCheckable(true);
        tileFormats->addAction(action);
        connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
        actions_[id] = action;
        tileFormatIds_.push_back(id);
    }
}

void CommandActions::BuildMenuBar(QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    std::vector<QMenu*> open;
    for (const MenuEntry& entry : kMenuBar) {
        switch (entry.type) {
            case MenuEntry::kMenu: {
                QMenu* menu = open.empty() ? bar->addMenu(Tr(entry.title))
                                           : open.back()->addMenu(Tr(entry.title));
                if (open.empty() && bar->actions().size() == 2) splitMenu_ = menu;
                open.push_back(menu);
                break;
            }
            case MenuEntry::kEnd:
                open.pop_back();
                break;
            case MenuEntry::kItem:
                open.back()->addAction(Action(entry.id));
                break;
            case MenuEntry::kSeparator:
                open.back()->addSeparator();
                break;
            case MenuEntry::kFormatOptions:
                if (!formatOptionIds_.empty()) open.back()->addSeparator();
                for (int id : formatOptionIds_) open.back()->addAction(Action(id));
                break;
            case MenuEntry::kTileFormats:
                for (int id : tileFormatIds_) open.back()->addAction(Action(id));
                break;
        }
    }
}

}  // namespace tessarin
