#include "SheetPreview.h"

#include "UiHelpers.h"
#include "app/Messages.h"
#include "marking/CodeRules.h"
#include "settings/FeedRule.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace kuvrion {

namespace {

constexpr qreal kPixelsPerMm = 1.3; // at the widget's size hint
const QColor kRed(255, 0, 0);
// A feed bar with a rule: set on the closing sheets of the envelopes the rule names.
const QColor kFeedBlue(0, 90, 200);
constexpr float kInsetMarginMm = 4.0f; // paper shown around the clear zone in the enlargement

} // namespace

SheetPreview::SheetPreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imgSheet"));
    setMinimumSize(sizeHint() / 2);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize SheetPreview::sizeHint() const
{
    return {qRound(kSheetWidthMm * kPixelsPerMm) + 2, qRound(kSheetHeightMm * kPixelsPerMm) + 2};
}

void SheetPreview::SetSettings(const Settings& s)
{
    m_plan = PlanSheet(s);
    // The feed bars whose feeder has a rule: only they are ever set on a sheet.
    m_feedBars.clear();
    const BarRun supply = BarColumn(s)[static_cast<std::size_t>(BarBlock::Supply)];
    for (std::int32_t k = 1; k <= std::min(supply.count, kFeeders); ++k) {
        if (ParseFeedRule(FeedRuleSetting(s, k)))
            m_feedBars.push_back(static_cast<std::size_t>(supply.first + k - 2));
    }
    update();
}

QRectF SheetPreview::SheetRect() const
{
    // The largest A4 rectangle that fits, centred.
    const qreal scale =
        std::min((width() - 2) / qreal(kSheetWidthMm), (height() - 2) / qreal(kSheetHeightMm));
    const QSizeF size(kSheetWidthMm * scale, kSheetHeightMm * scale);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

QRectF SheetPreview::ToPixels(const MmRect& r) const
{
    const QRectF sheet = SheetRect();
    const qreal scale = sheet.width() / kSheetWidthMm;
    return {sheet.left() + r.left * scale, sheet.top() + r.top * scale, r.width * scale,
            r.height * scale};
}

void SheetPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF sheet = SheetRect();
    painter.fillRect(sheet, Qt::white);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(sheet);
    const auto toPixels = [this](const MmRect& r) { return ToPixels(r); };
    DrawCode(painter, toPixels);

    // The code's surroundings enlarged, at the right edge of the sheet beside the code, since a
    // bar of half a millimetre is hardly a pixel at the scale of the whole sheet.
    const MmRect& zone = m_plan.clearZone;
    const MmRect shown{zone.left - kInsetMarginMm, zone.top - kInsetMarginMm,
                       zone.width + 2 * kInsetMarginMm, zone.height + 2 * kInsetMarginMm};
    const qreal side = sheet.width() * 0.45;
    const qreal scale = std::min(side / shown.width, 2 * side / shown.height);
    const QSizeF size(shown.width * scale, shown.height * scale);
    const QRectF inset(QPointF(sheet.right() - size.width() - 4,
                               std::clamp(ToPixels(zone).center().y() - size.height() / 2,
                                          sheet.top() + 4, sheet.bottom() - size.height() - 4)),
                       size);
    painter.fillRect(inset, Qt::white);
    painter.save();
    painter.setClipRect(inset);
    DrawCode(painter, [&](const MmRect& r) {
        return QRectF(inset.left() + (r.left - shown.left) * scale,
                      inset.top() + (r.top - shown.top) * scale, r.width * scale, r.height * scale);
    });
    painter.restore();
    painter.setPen(QPen(Qt::darkGray, 0));
    painter.drawRect(inset);
    // The enlargement says what it is, so it is not taken for a second code on the sheet.
    QFont small = painter.font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    const qreal enlarged = scale / (sheet.width() / kSheetWidthMm);
    painter.drawText(inset.adjusted(3, 1, -3, -1), Qt::AlignTop | Qt::AlignLeft,
                     QStringLiteral("Ausschnitt %1:1").arg(qRound(enlarged)));
}

void SheetPreview::DrawCode(QPainter& painter,
                            const std::function<QRectF(const MmRect&)>& toPixels) const
{
    painter.setPen(QPen(Qt::darkGray, 0, Qt::DashLine));
    painter.drawRect(toPixels(m_plan.printArea));
    painter.fillRect(toPixels(m_plan.clearZone), QColor(255, 240, 160));
    // A bar is at least one pixel thick, so that thin bars stay visible.
    const auto fill = [&painter](QRectF r, const QColor& colour) {
        if (r.height() < 1)
            r.setHeight(1);
        painter.fillRect(r, colour);
    };
    for (std::size_t i = 0; i < m_plan.bars.size(); ++i) {
        const BarPlace& bar = m_plan.bars[i];
        fill(toPixels(bar.wanted), kRed);
        const bool feed = std::find(m_feedBars.begin(), m_feedBars.end(), i) != m_feedBars.end();
        if (bar.printed)
            fill(toPixels(*bar.printed), feed ? kFeedBlue : Qt::black);
    }
}

PreviewPanel NewPreviewPanel(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* preview = new SheetPreview(panel);
    auto* labRules = new QLabel(panel);
    labRules->setObjectName(QStringLiteral("labRules"));
    labRules->setWordWrap(true);
    // Room for the usual warnings, so the dialog keeps its size while the fields are typed.
    labRules->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labRules->setMinimumHeight(labRules->fontMetrics().lineSpacing() * 6);
    labRules->setFixedWidth(preview->sizeHint().width() + 60);
    layout->addWidget(preview, 1);
    layout->addWidget(labRules);
    return {panel, preview, labRules};
}

void ShowPreview(const PreviewPanel& p, const Settings& s)
{
    p.preview->SetSettings(s);
    QStringList lines;
    for (const RuleWarning w : CheckRules(s))
        lines << QStringLiteral("⚠ ") + QString::fromStdString(RuleWarningText(w));
    if (lines.isEmpty())
        lines << QStringLiteral("Lage der Striche: keine Einwände.");
    if (!PrintAreaEntered(s))
        lines << QStringLiteral("ℹ ") + QString::fromUtf8(PrintAreaHintText());
    p.labRules->setText(lines.join(QLatin1Char('\n')));
}

void ShowLayoutChoice(const PreviewPanel& p, QLabel* labReason, QPushButton* btnOK,
                      const Settings& s)
{
    const auto fault = LayoutFault(s);
    ShowReason(labReason, btnOK, fault ? QString::fromStdString(CodeFaultText(*fault)) : QString());
    ShowPreview(p, s);
}

} // namespace kuvrion
