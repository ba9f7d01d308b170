#pragma once
// Every menu command as one QAction, created once here with its id (the
// action's data), text, accelerator and check or radio group; the menu bar and
// the popup menu are built from these actions.

#include <QObject>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QMainWindow;

namespace tessarin {

class CommandActions : public QObject {
    Q_OBJECT

  public:
    // Creates the actions and the window's menu bar.
    explicit CommandActions(QMainWindow* window);

    QAction* Action(int id) const;
    // The menu bar's second menu, "分割(&B)", which is also the popup menu.
    QMenu* SplitMenu() const { return splitMenu_; }
    // The ids of the formats' option items (cmd::kFirstFormatOption...).
    const std::vector<int>& FormatOptionIds() const { return formatOptionIds_; }
    // The ids of the tile formats' radio items besides the source's own
    // (cmd::kFirstTileFormat + kind).
    const std::vector<int>& TileFormatIds() const { return tileFormatIds_; }

  signals:
    // An action was triggered; checkable actions have already flipped.
    void commandTriggered(int id);

  private:
    void CreateActions(QMainWindow* window);
    void BuildMenuBar(QMainWindow* window);

    std::map<int, QAction*> actions_;
    std::vector<int> formatOptionIds_;
    std::vector<int> tileFormatIds_;
    QMenu* splitMenu_ = nullptr;
};

}  // namespace tessarin
