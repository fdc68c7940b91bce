#include "SheetPreview.h"

#include "app/Messages.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace kuvrion {

namespace {

constexpr qreal kPixelsPerMm = 1.0; // at the widget's size hint
const QColor kRed(255, 0, 0);

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
    painter.setPen(QPen(Qt::darkGray, 0, Qt::DashLine));
    painter.drawRect(ToPixels(m_plan.printArea));
    painter.fillRect(ToPixels(m_plan.clearZone), QColor(255, 240, 160));
    // A bar is at least one pixel thick, so that thin bars stay visible.
    const auto fill = [&painter](QRectF r, const QColor& colour) {
        if (r.height() < 1)
            r.setHeight(1);
        painter.fillRect(r, colour);
    };
    for (const BarPlace& bar : m_plan.bars) {
        fill(ToPixels(bar.wanted), kRed);
        if (bar.printed)
            fill(ToPixels(*bar.printed), Qt::black);
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
    labRules->setMaximumWidth(preview->sizeHint().width() + 60);
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
    p.labRules->setText(lines.isEmpty() ? QStringLiteral("Lage der Striche: keine Einwände.")
                                        : lines.join(QLatin1Char('\n')));
}

} // namespace kuvrion
