#pragma once
// The viewer: the client area of the main window. It shows the current image
// at its zoom with the cut lines, the selection overlay and the information
// panel, and turns the mouse into zooming and, through the tools of
// view_tools.h, scrolling, cut-line dragging, tile selection and swipes. The window keeps the state
// it shows (settings, image, selection, preferences) and hands it over once with Bind().

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/geometry.h"
#include "split/selection.h"
#include "ui/preferences_model.h"
#include "ui/view/overlay_layout.h"
#include "ui/view/right_button.h"
#include "ui/view/scaled_image_cache.h"
#include "ui/view/view_model.h"
#include "ui/view/view_painter.h"
#include "ui/view/view_tools.h"

namespace tessarin {

class ImagePyramid;

struct ViewerBinding {
    SplitSettings* settings = nullptr;  // cut-line drags change it
    const SettingsPaths* paths = nullptr;
    const CurrentImage* image = nullptr;  // no image while its raster is null
    SelectionMap* selection = nullptr;
    const std::string* imageInfoLine = nullptr;
    const PreferencesModel* preferences = nullptr;  // what to draw; a change repaints
    std::function<bool()> splitRunning;
};

class ViewerWidget : public QWidget {
    Q_OBJECT

  public:
    explicit ViewerWidget(QWidget* parent = nullptr);

    void Bind(ViewerBinding binding);
    // The image of the binding has changed; `pyramid` holds its raster.
    // The view centre goes back to the middle; the zoom is the caller's.
    void SetImage(std::shared_ptr<const ImagePyramid> pyramid);
    // A new picture of the same image (the whole one after a reduced one, or
    // more rows of a picture being filled): the zoom and position stay.
    void ReplacePicture(std::shared_ptr<const ImagePyramid> pyramid);
    const std::shared_ptr<const ImagePyramid>& Picture() const { return pyramid_; }

    // 1:1 when "最初は等倍で表示" is checked, else fit to the window; the
    // fit follows the window's size until the user zooms or scrolls.
    void ApplyInitialZoom();
    void FitToWindow();
    void ShowOneToOne();
    const ViewZoom& Zoom() const { return model_.Zoom(); }
    // The model as the next paint sees it.
    const ViewModel& Model();
    // The image's rectangle in the view at the current zoom.
    QRect ImageRect();

    bool PanelHidden() const { return panelHidden_; }
    ScaledImageCache& Cache() { return cache_; }

  signals:
    // A right press has been released: the menu at `globalPos`, a swipe, or nothing.
    void rightGesture(RightRelease meaning, QPoint globalPos);
    // A cut-line drag has ended after changing the split settings.
    void splitSettingsEdited();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class LeftDragTool;
    friend class ScrollTool;
    friend class CutLineTool;
    friend class SwipeTool;
    friend class RectangleSelectTool;

    bool HasImage() const;
    bool Shows(Preference preference) const;
    void FollowPreference(Preference preference);
    bool SplitRunning() const;
    bool InSelectionMode() const;
    TileGrid Grid() const;
    void Sync();
    void LayOverlay(const TileGrid& grid);
    void PointerMoved(QPoint pos);
    void DragScrollRepaint();
    // The tool of a button that came up; a release without a press seen
    // gets the tool of the current mode, which has no press.
    std::unique_ptr<ViewTool> TakeRightTool();
    void ResizeSelection();
    void StartClickTimer(quint64 pressTime, QPoint pressPos, quint64 releaseTime);

    ViewerBinding binding_;
    QMetaObject::Connection preferencesChanged_;
    std::shared_ptr<const ImagePyramid> pyramid_;
    ViewModel model_;
    ScaledImageCache cache_;
    OverlayLayout overlay_;
    PanelFont panelFont_;
    QFont overlayFont_;

    // The tools of the buttons held down, each chosen at its press.
    std::unique_ptr<ViewTool> leftTool_;
    std::unique_ptr<ViewTool> rightTool_;
    RepaintThrottle throttle_;
    QElapsedTimer clock_;
    QTimer pendingRepaint_;

    // A kind no hit test returns: the cursor is chosen again at the next move.
    static constexpr int kCursorUnknown = 0x7FFFFFFF;
    int cursorKind_ = kCursorUnknown;
    bool panelHidden_ = false;

    bool anyDoubleClick_ = false;
    quint64 lastDoubleClick_ = 0;
};

}  // namespace tessarin
