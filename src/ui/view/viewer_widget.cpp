#include "ui/view/viewer_widget.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "split/naming.h"
#include "ui/translation.h"
#include "ui/view/cut_lines.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/panel_text.h"

namespace tessarin {

namespace {

// The pointer hides the panel while it is in this corner box.
constexpr int kPanelBoxWidth = 100;
constexpr int kPanelBoxHeight = 64;

}  // namespace

ViewerWidget::ViewerWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // Every right-button event comes here; the window shows its own popup.
    setContextMenuPolicy(Qt::PreventContextMenu);
    clock_.start();
    pendingRepaint_.setSingleShot(true);
    connect(&pendingRepaint_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    panelFont_ = MakePanelFont(logicalDpiY());
    overlayFont_ = MakeOverlayFont();
}

void ViewerWidget::Bind(ViewerBinding binding) {
    binding_ = std::move(binding);
    disconnect(preferencesChanged_);
    if (binding_.preferences)
        preferencesChanged_ = connect(binding_.preferences, &PreferencesModel::changed, this,
                                      &ViewerWidget::FollowPreference);
    update();
}

void ViewerWidget::FollowPreference(Preference preference) {
    if (PreferencesModel::IsViewPreference(preference)) update();
}

void ViewerWidget::SetImage(std::shared_ptr<const ImagePyramid> pyramid) {
    pyramid_ = std::move(pyramid);
    cache_.SetSource(pyramid_);
    model_.ResetCentre();
    Sync();
    update();
}

void ViewerWidget::ReplacePicture(std::shared_ptr<const ImagePyramid> pyramid) {
    pyramid_ = std::move(pyramid);
    cache_.SetSource(pyramid_);
    update();
}

bool ViewerWidget::HasImage() const {
    return binding_.image && binding_.image->Shown() && pyramid_ && binding_.settings;
}

bool ViewerWidget::Shows(Preference preference) const {
    return binding_.preferences && binding_.preferences->On(preference);
}

bool ViewerWidget::SplitRunning() const { return binding_.splitRunning && binding_.splitRunning(); }

bool ViewerWidget::InSelectionMode() const {
    return HasImage() && binding_.selection && binding_.selection->IsActive();
}

TileGrid ViewerWidget::Grid() const {
    if (!HasImage()) return {};
    return ComputeGridCounts(binding_.image->width, binding_.image->height, *binding_.settings);
}

void ViewerWidget::Sync() {
    if (HasImage())
        model_.SetImageSize(binding_.image->width, binding_.image->height);
    else
        model_.SetImageSize(0, 0);
    model_.SetClientSize(width(), height());
    if (binding_.settings) model_.SetRate(binding_.settings->scaleChangeRate);
}

const ViewModel& ViewerWidget::Model() {
    Sync();
    return model_;
}

QRect ViewerWidget::ImageRect() {
    Sync();
    return {model_.OriginX(), model_.OriginY(), model_.DisplayedWidth(), model_.DisplayedHeight()};
}

void ViewerWidget::ApplyInitialZoom() {
    Sync();
    model_.ApplyInitialZoom(Shows(Preference::SameScale));
    update();
}

void ViewerWidget::FitToWindow() {
    Sync();
    model_.FitToWindow();
    update();
}

void ViewerWidget::ShowOneToOne() {
    Sync();
    model_.ShowOneToOne();
    update();
}

void ViewerWidget::LayOverlay(const TileGrid& grid) {
    const SelectionMap& map = *binding_.selection;
    overlay_.Lay(grid, std::min(grid.columns, map.Columns()), std::min(grid.rows, map.Rows()),
                 model_.OriginX(), model_.OriginY(), model_.DisplayedWidth(),
                 model_.DisplayedHeight(), model_.Scale());
}

void ViewerWidget::paintEvent(QPaintEvent* event) {
    Sync();
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    const bool hasImage = HasImage();
    const TileGrid grid = Grid();
    const bool selecting = InSelectionMode();
    double scale = -1;
    if (hasImage) {
        scale = model_.Scale();
        cache_.Draw(painter, event->rect(), QPoint(model_.OriginX(), model_.OriginY()),
                    QSize(model_.DisplayedWidth(), model_.DisplayedHeight()), scale,
                    ChooseScaleFilter(scale, Shows(Preference::Halftone)));
        if (selecting || (Shows(Preference::CutLine) && !Shows(Preference::ViewerMode)))
            PaintCutLines(painter, model_, grid, binding_.settings->negativeLine != 0,
                          LosslessBlockGrid(*binding_.image, *binding_.settings));
        if (selecting) {
            LayOverlay(grid);
            PaintOverlay(painter, overlay_, *binding_.selection,
                         rightTool_ ? rightTool_->Rectangle() : nullptr, size(), overlayFont_);
        }
    }
    if (panelHidden_ || !Shows(Preference::Info) || !binding_.settings) return;

    PanelChoices choices;
    const std::pair<bool*, Preference> lines[] = {
        {&choices.imageInfo, Preference::ImageInfo},
        {&choices.settingsFile, Preference::SettingsFileInfo},
        {&choices.saveFolder, Preference::SaveFolderInfo},
        {&choices.aspect, Preference::AspectInfo},
        {&choices.cutSize, Preference::CutSizeInfo},
        {&choices.offset, Preference::OffsetInfo},
        {&choices.nameRule, Preference::NameRuleInfo},
        {&choices.scale, Preference::ScaleInfo},
        {&choices.jpegQuality, Preference::JpegQualityInfo},
        {&choices.threads, Preference::ThreadInfo},
        {&choices.cutCount, Preference::CutCountInfo},
        {&choices.selectedCount, Preference::SelectedCountInfo},
        {&choices.breakdown, Preference::BreakdownInfo},
    };
    for (const auto& [line, preference] : lines) *line = Shows(preference);
    choices.viewerMode = Shows(Preference::ViewerMode);
    choices.notOverwrite = binding_.settings->notOverwrite != 0;

    PanelFacts facts;
    facts.imageLoaded = hasImage;
    if (hasImage) {
        facts.imageInfoLine = binding_.imageInfoLine ? *binding_.imageInfoLine : std::string();
        facts.colorKind = binding_.image->colorKind;
        facts.interlaced = binding_.image->interlaced;
        facts.viewReduction = binding_.image->viewReduction;
    }
    facts.scale = scale;
    facts.selectionMode = selecting;
    facts.selectedTiles = selecting ? binding_.selection->CountSelectedTiles() : 0;
    if (choices.settingsFile && binding_.paths)
        facts.slotName = SlotTitle(SlotName(*binding_.paths, binding_.paths->currentSlot),
                                   binding_.paths->currentSlot)
                             .toStdString();
    if (choices.saveFolder)
        facts.outputFolder = DescribeOutputFolder(hasImage ? binding_.image->path : std::string(),
                                                  *binding_.settings);
    facts.grid = grid;
    if (hasImage) {
        facts.block = LosslessBlockGrid(*binding_.image, *binding_.settings);
        facts.alignment = CheckGridAlignment(binding_.image->width, binding_.image->height,
                                             *binding_.settings, facts.block);
    }
    const std::vector<PanelLine> panel = BuildPanelLines(*binding_.settings, choices, facts);
    // In selection mode the panel starts below and right of the headers.
    const int x = selecting ? overlay_.HeaderWidth() + 1 : 0;
    const int top = selecting ? OverlayLayout::kHeaderHeight + 1 : 0;
    PaintPanel(painter, panel, x, top, panelFont_);
}

void ViewerWidget::PointerMoved(QPoint pos) {
    const bool inBox =
        pos.x() >= 0 && pos.x() < kPanelBoxWidth && pos.y() >= 0 && pos.y() < kPanelBoxHeight;
    if (inBox != panelHidden_) {
        panelHidden_ = inBox;
        update();
    }
    if (leftTool_) {
        cursorKind_ = kCursorUnknown;
        return;
    }
    LineHitGate gate{SplitRunning(), Shows(Preference::LineDrag), Shows(Preference::ViewerMode),
                     Shows(Preference::CutLine)};
    const int kind = HitTestCutLines(model_, Grid(), gate, pos.x(), pos.y());
    if (kind == cursorKind_) return;
    setCursor(kind > 0 ? Qt::SizeHorCursor : kind < 0 ? Qt::SizeVerCursor : Qt::ArrowCursor);
    cursorKind_ = kind;
}

void ViewerWidget::mousePressEvent(QMouseEvent* event) {
    Sync();
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        // The hit at the press decides between scrolling and dragging that
        // line for the whole drag.
        const LineHitGate gate{SplitRunning(), Shows(Preference::LineDrag),
                               Shows(Preference::ViewerMode), Shows(Preference::CutLine)};
        const int kind = HitTestCutLines(model_, Grid(), gate, pos.x(), pos.y());
        if (kind != 0)
            leftTool_ = std::make_unique<CutLineTool>(*this, kind);
        else
            leftTool_ = std::make_unique<ScrollTool>(*this);
        leftTool_->Press(pos, event->timestamp());
    } else if (event->button() == Qt::RightButton) {
        if (InSelectionMode())
            rightTool_ = std::make_unique<RectangleSelectTool>(*this);
        else
            rightTool_ = std::make_unique<SwipeTool>(*this);
        rightTool_->Press(pos, event->timestamp());
    }
}

void ViewerWidget::mouseMoveEvent(QMouseEvent* event) {
    Sync();
    const QPoint pos = event->position().toPoint();
    // A drag whose release went elsewhere (a popup took the mouse) ends here.
    if (leftTool_ && !(event->buttons() & Qt::LeftButton)) {
        const std::unique_ptr<ViewTool> tool = std::move(leftTool_);
        tool->Abandon();
    }
    if (rightTool_ && !(event->buttons() & Qt::RightButton)) rightTool_->Abandon();
    PointerMoved(pos);
    if (leftTool_) leftTool_->Move(pos);
    if (rightTool_) rightTool_->Move(pos);
}

void ViewerWidget::DragScrollRepaint() {
    if (!model_.Scrollable()) return;
    const uint64_t now = static_cast<uint64_t>(clock_.elapsed());
    if (throttle_.Due(now)) {
        pendingRepaint_.stop();
        update();
    } else if (!pendingRepaint_.isActive()) {
        // The last move of a pause still shows once the interval is over.
        pendingRepaint_.start(static_cast<int>(throttle_.Remaining(now)));
    }
}

void ViewerWidget::ResizeSelection() {
    if (!binding_.selection || SplitRunning()) return;
    const TileGrid grid = Grid();
    binding_.selection->ResizeSelectionMap(grid.columns, grid.rows);
}

void ViewerWidget::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        // Dropped first: the drag is over whatever its end shows.
        if (std::unique_ptr<ViewTool> tool = std::move(leftTool_))
            tool->Release(pos, event->globalPosition().toPoint(), event->timestamp());
    } else if (event->button() == Qt::RightButton) {
        TakeRightTool()->Release(pos, event->globalPosition().toPoint(), event->timestamp());
    } else if (event->button() == Qt::MiddleButton) {
        FitToWindow();
    }
}

std::unique_ptr<ViewTool> ViewerWidget::TakeRightTool() {
    if (rightTool_) return std::move(rightTool_);
    if (InSelectionMode()) return std::make_unique<RectangleSelectTool>(*this);
    return std::make_unique<SwipeTool>(*this);
}

void ViewerWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // A double click cancels the single click still waiting.
    if (InSelectionMode()) {
        anyDoubleClick_ = true;
        lastDoubleClick_ = event->timestamp();
    }
    ShowOneToOne();
}

void ViewerWidget::StartClickTimer(quint64 pressTime, QPoint pressPos, quint64 releaseTime) {
    const int delay = SingleClickDelay(QApplication::doubleClickInterval(), pressTime, releaseTime);
    // Runs on the GUI thread, like every other change of the selection map.
    QTimer::singleShot(delay, this, [this, pressTime, pressPos] {
        if (anyDoubleClick_ && lastDoubleClick_ >= pressTime) return;
        if (!InSelectionMode()) return;
        if (ToggleSelectionAt(overlay_, *binding_.selection, pressPos.x(), pressPos.y())) update();
    });
}

void ViewerWidget::wheelEvent(QWheelEvent* event) {
    Sync();
    if (model_.Wheel(event->angleDelta().y())) update();
    event->accept();
}

void ViewerWidget::leaveEvent(QEvent* event) {
    // The panel comes back when the pointer leaves the window from its corner.
    if (panelHidden_ && !leftTool_) {
        panelHidden_ = false;
        update();
    }
    QWidget::leaveEvent(event);
}

void ViewerWidget::resizeEvent(QResizeEvent* event) {
    // A fit that follows the window is fitted again at once, not at the next paint.
    Sync();
    QWidget::resizeEvent(event);
}

}  // namespace tessarin
