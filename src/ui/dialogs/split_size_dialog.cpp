#include "ui/dialogs/split_size_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/text.h"
#include "split/geometry.h"
#include "ui/dialogs/dialog_frame.h"
#include "ui/dialogs/step_edit.h"
#include "ui/fonts.h"
#include "ui/translation.h"
#include "ui/view/panel_text.h"

namespace tessarin {

namespace {

// Set while no derivation is under way. A derived edit's own change must not
// derive back; the flag lives as long as the process.
bool aspectGuard = true;

constexpr int kEditIds[] = {1038, 1039, 1040, 1041};
constexpr int kListIds[] = {1034, 1035, 1036, 1037};

double WholePart(double value, double min) {
    if (std::isnan(value)) return min;
    return std::clamp(std::trunc(value), min, static_cast<double>(INT_MAX));
}

// The value a typed or stepped text stands for in `unit`. Text that is no
// number reads as 0; infinities reach the bounds, never the record.
double ValueFromNumber(double value, SizeUnit unit) {
    switch (unit) {
        case SizeUnit::Percent:
            return std::isnan(value) ? 0 : std::clamp(value, 0.0, 100.0);
        case SizeUnit::Count:
            return WholePart(value, 1);
        default:
            return WholePart(value, 0);
    }
}

double ReadNumber(const QString& text) { return ParseCReal(text.toStdString()); }

QString FormatValue(double value, SizeUnit unit) {
    return QString::fromStdString(unit == SizeUnit::Percent ? FormatFixed6(value)
                                                            : FormatTruncated(value));
}

// The derived pixel size of MatchAspect: the other axis scaled by the image
// proportions, rounded up when the derived axis is the shorter one.
double DerivedPixels(double base, int baseAxis, int derivedAxis) {
    const double v = static_cast<double>(derivedAxis) * base / static_cast<double>(baseAxis);
    return WholePart(derivedAxis < baseAxis ? std::ceil(v) : v, 0);
}

QLabel* Label(const char* text, QWidget* parent) { return new QLabel(DialogText(text), parent); }

}  // namespace

SplitSizeDialog::SplitSizeDialog(SplitSettings& settings, int imageWidth, int imageHeight,
                                 std::function<void()> preview, QWidget* owner, BlockGrid block)
    : QDialog(owner),
      settings_(settings),
      original_(settings),
      imageWidth_(std::max(0, imageWidth)),
      imageHeight_(std::max(0, imageHeight)),
      preview_(std::move(preview)),
      block_(imageWidth > 0 && imageHeight > 0 ? block : BlockGrid{}) {
    PrepareDialog(*this, Tessarin::tr("分割サイズ＆オフセット設定"), owner);
    BuildLayout();
    ShowRecord();
    Connect();
    ShowGrid();
    fields_[kWidth].edit->setFocus();
    fields_[kWidth].edit->selectAll();
}

void SplitSizeDialog::BuildLayout() {
    auto* layout = new QVBoxLayout(this);

    auto* size = new QGroupBox(Tessarin::tr("分割サイズ設定"), this);
    auto* sizeGrid = new QGridLayout(size);
    adjustAspect_ = new QCheckBox(Tessarin::tr("オリジナル画像の縦横比と合わせる"), size);
    adjustAspect_->setObjectName(QStringLiteral("1033"));
    sizeGrid->addWidget(adjustAspect_, 0, 0, 1, 3);
    auto* baseRow = new QHBoxLayout;
    baseWidth_ = new QRadioButton(Tessarin::tr("横幅"), size);
    baseWidth_->setObjectName(QStringLiteral("1003"));
    baseHeight_ = new QRadioButton(Tessarin::tr("高さ"), size);
    baseHeight_->setObjectName(QStringLiteral("1004"));
    baseRow->addWidget(baseWidth_);
    baseRow->addWidget(baseHeight_);
    baseRow->addStretch(1);
    sizeGrid->addWidget(Label(QT_TRANSLATE_NOOP("Tessarin", "基準："), size), 1, 0);
    sizeGrid->addLayout(baseRow, 1, 1, 1, 2);

    auto* offset = new QGroupBox(Tessarin::tr("オフセット設定"), this);
    auto* offsetGrid = new QGridLayout(offset);

    const char* const labels[] = {
        QT_TRANSLATE_NOOP("Tessarin", "横幅："), QT_TRANSLATE_NOOP("Tessarin", "高さ："),
        QT_TRANSLATE_NOOP("Tessarin", "横："), QT_TRANSLATE_NOOP("Tessarin", "縦：")};
    for (int which = kWidth; which <= kOffsetY; ++which) {
        const bool isSize = which <= kHeight;
        QWidget* box = isSize ? static_cast<QWidget*>(size) : offset;
        QGridLayout* grid = isSize ? sizeGrid : offsetGrid;
        const int row = isSize ? 2 + which : which - kOffsetX;
        Field& field = fields_[which];
        field.edit = new StepEdit(box);
        field.edit->setObjectName(QString::number(kEditIds[which]));
        field.edit->SetSampleText(QStringLiteral("0000000.000000"));
        field.units = new QComboBox(box);
        field.units->setObjectName(QString::number(kListIds[which]));
        field.units->addItem(QStringLiteral("pixel"));
        field.units->addItem(Tessarin::tr("％"));
        if (isSize) field.units->addItem(Tessarin::tr("個"));
        grid->addWidget(Label(labels[which], box), row, 0);
        grid->addWidget(field.edit, row, 1);
        grid->addWidget(field.units, row, 2);
    }
    sizeGrid->setColumnStretch(1, 1);
    offsetGrid->setColumnStretch(1, 1);
    // The edits of both groups start at the same x.
    const int labelWidth = std::max(sizeGrid->itemAtPosition(2, 0)->sizeHint().width(),
                                    sizeGrid->itemAtPosition(1, 0)->sizeHint().width());
    offsetGrid->setColumnMinimumWidth(0, labelWidth);
    sizeGrid->setColumnMinimumWidth(0, labelWidth);
    layout->addWidget(size);
    layout->addWidget(offset);

    // The grid these values give the image on view, as the panel words it.
    grid_ = new QLabel(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setFont(QFont(MonospaceJapaneseFamily()));
    grid_->setFrameShape(QFrame::StyledPanel);
    grid_->setTextFormat(Qt::PlainText);
    grid_->setMargin(4);
    // Room for common breakdowns, so that the dialog does not resize at every key.
    grid_->setMinimumWidth(QFontMetrics(grid_->font())
                               .horizontalAdvance(Tessarin::tr(
                                   "【 分 割 内 訳 】 横：0000(オ), 0000x0000, 0000(余)")));
    layout->addWidget(grid_);

    if (block_.Known()) {
        auto* snap = new QPushButton(Tessarin::tr("分割位置をブロックに合わせる(&G)"), this);
        snap->setObjectName(QStringLiteral("snap"));
        snap->setAutoDefault(false);
        connect(snap, &QPushButton::clicked, this, &SplitSizeDialog::OnSnap);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(snap);
        layout->addLayout(row);
    }

    AddOkCancel(*this, *layout);
}

void SplitSizeDialog::ShowRecord() {
    adjustAspect_->setChecked(settings_.adjustAspect);
    (settings_.aspectBaseWidth ? baseWidth_ : baseHeight_)->setChecked(true);
    for (int which = kWidth; which <= kOffsetY; ++which) {
        const Which w = static_cast<Which>(which);
        fields_[w].units->setCurrentIndex(UnitIndex(UnitOf(w)));
        fields_[w].edit->SetText(ValueText(w));
    }
}

void SplitSizeDialog::Connect() {
    for (int which = kWidth; which <= kOffsetY; ++which) {
        const Which w = static_cast<Which>(which);
        connect(fields_[w].edit, &StepEdit::textChanged, this, [this, w] { OnText(w); });
        connect(fields_[w].edit, &StepEdit::stepRequested, this,
                [this, w](int steps) { OnStep(w, steps); });
        // Only the user's choice: a list set by the dialog reports nothing.
        connect(fields_[w].units, &QComboBox::activated, this,
                [this, w](int index) { OnUnitChosen(w, index); });
    }
    connect(adjustAspect_, &QCheckBox::clicked, this, &SplitSizeDialog::OnAdjustAspectClicked);
    connect(baseWidth_, &QRadioButton::toggled, this, [this](bool checked) {
        settings_.aspectBaseWidth = checked;
        Preview();
    });
}

SizeUnit& SplitSizeDialog::UnitOf(Which which) {
    switch (which) {
        case kWidth:
            return settings_.widthUnit;
        case kHeight:
            return settings_.heightUnit;
        case kOffsetX:
            return settings_.offsetXUnit;
        default:
            return settings_.offsetYUnit;
    }
}

double& SplitSizeDialog::ValueOf(Which which, SizeUnit unit) {
    switch (which) {
        case kWidth:
            return settings_.widthValue[UnitIndex(unit)];
        case kHeight:
            return settings_.heightValue[UnitIndex(unit)];
        case kOffsetX:
            return settings_.offsetXValue[unit == SizeUnit::Percent ? 1 : 0];
        default:
            return settings_.offsetYValue[unit == SizeUnit::Percent ? 1 : 0];
    }
}

QString SplitSizeDialog::ValueText(Which which) {
    const SizeUnit unit = UnitOf(which);
    return FormatValue(ValueOf(which, unit), unit);
}

void SplitSizeDialog::ReadField(Which which) {
    const SizeUnit unit = UnitOf(which);
    ValueOf(which, unit) = ValueFromNumber(ReadNumber(fields_[which].edit->Text()), unit);
}

void SplitSizeDialog::OnText(Which which) {
    ReadField(which);
    if ((which == kWidth || which == kHeight) && ImageShown() && settings_.adjustAspect)
        DeriveOther(which);
    Preview();
}

void SplitSizeDialog::DeriveOther(Which edited) {
    const Which other = edited == kWidth ? kHeight : kWidth;
    const SizeUnit unit = UnitOf(edited);
    // The derived side takes the edited side's unit, as aspect matching does,
    // so that a number is never read in the other side's unit.
    FollowUnit(other, unit);
    if (unit != SizeUnit::Pixel || imageWidth_ == imageHeight_) {
        ValueOf(other, unit) = ValueOf(edited, unit);
        if (fields_[other].edit->Text() != fields_[edited].edit->Text())
            fields_[other].edit->SetText(fields_[edited].edit->Text());
        return;
    }
    if (!aspectGuard) {
        aspectGuard = true;  // this change was itself derived
        return;
    }
    aspectGuard = false;
    const int editedAxis = edited == kWidth ? imageWidth_ : imageHeight_;
    const int otherAxis = edited == kWidth ? imageHeight_ : imageWidth_;
    const double derived = DerivedPixels(ValueOf(edited, unit), editedAxis, otherAxis);
    ValueOf(other, unit) = derived;
    fields_[other].edit->SetText(FormatValue(derived, SizeUnit::Pixel));
}

void SplitSizeDialog::FollowUnit(Which target, SizeUnit unit) {
    UnitOf(target) = unit;
    fields_[target].units->setCurrentIndex(UnitIndex(unit));
}

void SplitSizeDialog::OnStep(Which which, int steps) {
    // Up adds, down subtracts; the result is kept inside the unit's range.
    const SizeUnit unit = static_cast<SizeUnit>(fields_[which].units->currentIndex());
    const double value = ReadNumber(fields_[which].edit->Text()) + steps;
    fields_[which].edit->SetText(FormatValue(ValueFromNumber(value, unit), unit));
}

void SplitSizeDialog::OnUnitChosen(Which which, int index) {
    const SizeUnit unit = static_cast<SizeUnit>(index);
    UnitOf(which) = unit;
    if (which == kWidth || which == kHeight) {
        if (ImageShown() && settings_.adjustAspect)
            FollowUnit(which == kWidth ? kHeight : kWidth, unit);
    }
    fields_[which].edit->SetText(ValueText(which));
}

void SplitSizeDialog::OnAdjustAspectClicked(bool checked) {
    settings_.adjustAspect = checked;
    if (!checked || !ImageShown()) {
        Preview();
        return;
    }
    const Which base = settings_.aspectBaseWidth ? kWidth : kHeight;
    FollowUnit(base == kWidth ? kHeight : kWidth, UnitOf(base));
    fields_[base].edit->SetText(fields_[base].edit->Text());
}

void SplitSizeDialog::Preview() {
    if (preview_) preview_();
    ShowGrid();
}

void SplitSizeDialog::ShowGrid() {
    if (!ImageShown()) {
        grid_->setText(Tessarin::tr("画像を開くと、この設定での分割結果がここに表示されます"));
        return;
    }
    const TileGrid grid = ComputeGridCounts(imageWidth_, imageHeight_, settings_);
    const long long tiles = static_cast<long long>(grid.columns) * grid.rows;
    const QString count = Tessarin::tr("【　分 割 数　】%1(横)x%2(縦)=%3(総数)")
                              .arg(grid.columns)
                              .arg(grid.rows)
                              .arg(tiles);
    QString text = count + '\n' + QString::fromStdString(BreakdownLine(grid, Axis::Horizontal)) +
                   '\n' + QString::fromStdString(BreakdownLine(grid, Axis::Vertical));
    if (block_.Known())
        text +=
            '\n' + QString::fromStdString(BlockGridLine(
                       block_, CheckGridAlignment(imageWidth_, imageHeight_, settings_, block_)));
    grid_->setText(text);
}

void SplitSizeDialog::OnSnap() {
    if (!SnapToBlockGrid(imageWidth_, imageHeight_, block_, settings_)) return;
    // The fields show the snapped record as it is: nothing is derived from them.
    for (int which = kWidth; which <= kOffsetY; ++which) {
        const Which w = static_cast<Which>(which);
        const QSignalBlocker quiet(fields_[w].edit);
        fields_[w].units->setCurrentIndex(UnitIndex(UnitOf(w)));
        fields_[w].edit->SetText(ValueText(w));
    }
    Preview();
}

void SplitSizeDialog::PutBackValues() {
    std::copy(std::begin(original_.widthValue), std::end(original_.widthValue),
              settings_.widthValue);
    std::copy(std::begin(original_.heightValue), std::end(original_.heightValue),
              settings_.heightValue);
    std::copy(std::begin(original_.offsetXValue), std::end(original_.offsetXValue),
              settings_.offsetXValue);
    std::copy(std::begin(original_.offsetYValue), std::end(original_.offsetYValue),
              settings_.offsetYValue);
}

void SplitSizeDialog::accept() {
    // Values typed under a unit that is no longer chosen are dropped.
    PutBackValues();
    settings_.adjustAspect = adjustAspect_->isChecked();
    settings_.aspectBaseWidth = baseWidth_->isChecked();
    for (int which = kWidth; which <= kOffsetY; ++which) {
        const Which w = static_cast<Which>(which);
        UnitOf(w) = static_cast<SizeUnit>(fields_[w].units->currentIndex());
        ReadField(w);
    }
    QDialog::accept();
}

void SplitSizeDialog::reject() {
    PutBackValues();
    settings_.widthUnit = original_.widthUnit;
    settings_.heightUnit = original_.heightUnit;
    settings_.offsetXUnit = original_.offsetXUnit;
    settings_.offsetYUnit = original_.offsetYUnit;
    settings_.adjustAspect = original_.adjustAspect;
    settings_.aspectBaseWidth = original_.aspectBaseWidth;
    QDialog::reject();
}

}  // namespace tessarin
