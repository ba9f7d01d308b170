#pragma once
// Carries out the menu commands and accelerators. It owns the actions and
// their menus, keeps their check marks on what they show (the split
// settings, the document's selection mode, the preferences model, the
// settings slot and the start-up placement) and runs every command that
// acts on those, the setting dialogs among them. The commands that open
// files, split or close belong to the window: windowCommand() hands them
// over.

#include <QObject>
#include <string>

#include "settings/app_preferences.h"

class QAction;
class QMenu;

namespace tessarin {

class CommandActions;
struct FormatOption;
class ImageDocument;
class MainWindow;
class PreferencesModel;
struct SettingsPaths;
struct SplitSettings;

class ActionHandler : public QObject {
    Q_OBJECT

  public:
    // Creates the actions and the window's menu bar.
    ActionHandler(MainWindow& window, ImageDocument& document, PreferencesModel& preferences);

    QAction* Action(int id) const;
    // The check mark of the command's menu item.
    bool IsChecked(int id) const;
    // The menu bar's second menu, which is also the image's popup menu.
    QMenu* PopupMenu() const;

    // Reads the main settings file into the preferences and the placement,
    // and sets every check mark and the slot texts.
    void RefreshMenu();
    // Busy: the split item becomes the stop item and the gated commands
    // grey; while `loading` the commands opening another file stay.
    void ShowBusy(bool busy, bool loading);

    // Every menu command and accelerator arrives here; while busy the gated
    // ones are refused.
    void OnCommand(int id);

  signals:
    // A command whose work is done elsewhere was accepted (dialogs, opening
    // and stepping files, starting a split).
    void commandAccepted(int id);
    // For the window: open a file, step to the next or previous one, split
    // (or, while busy, stop what runs) or close.
    void windowCommand(int id);

  private:
    SplitSettings& Settings() const;
    SettingsPaths& Paths() const;
    void SyncSplitChecks();
    void ShowPreference(Preference preference, bool on);
    // The document has a new image: the commands that need one.
    void FollowImage();
    void Repaint();

    void TogglePreference(int id);
    void SetStartupPlacement(int id);
    void SelectSlotCommand(int id);
    void ToggleSplitFlag(int id);
    void SetAspectBasis(int id);
    // A tile format's radio item (cmd::kFirstTileFormat...).
    void SetTileFormatCommand(int id);
    void ToggleSelectionMode();
    // Moves the cuts of a JPEG cut losslessly onto its block grid, and saves.
    void SnapToGrid();
    void OpenReadme();

    // action_handler_dialogs.cpp: the setting dialogs, the settings files
    // and the About box
    void OpenSplitSizeDialog();
    // The save folder, naming rule, thread count and zoom rate dialogs: OK
    // repaints and saves.
    void OpenSettingDialog(int id);
    // The dialog of a format's option (its dialog): OK repaints and saves.
    void OpenFormatOptionDialog(const FormatOption& option);
    void OpenSlotRenameDialog();
    void LoadSettingsFile();
    void SaveSettingsFileAs();
    void ShowAbout();
    void ShowSettingsWriteFailed(const std::string& path);

    MainWindow& window_;
    ImageDocument& document_;
    PreferencesModel& preferences_;
    CommandActions* actions_ = nullptr;
    int placement_ = 0;  // the start-up placement the radio group shows
};

}  // namespace tessarin
