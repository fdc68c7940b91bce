// A drawing of the A4 sheet, to scale, with the printable area (dashed), the clear zone the reader
// needs around the code (shaded), every bar position of the current code length in black (a feed
// bar whose feeder has a rule in blue), and in red what the printer cuts off or leaves out; the
// code's surroundings are shown enlarged beside it. Below it, the warnings of the reading-rule
// check. The dialogs that place the code hand it their settings while the user types.
#pragma once

#include "marking/SheetPlan.h"

#include <QRectF>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QPainter;

namespace kuvrion {

class SheetPreview : public QWidget {
    Q_OBJECT
public:
    explicit SheetPreview(QWidget* parent = nullptr);

    void SetSettings(const Settings& s);
    const SheetPlan& Plan() const { return m_plan; }
    // A rectangle on the sheet in the widget's pixels.
    QRectF ToPixels(const MmRect& r) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF SheetRect() const;
    // The printable area, the clear zone and the bars, through `toPixels`.
    void DrawCode(QPainter& painter, const std::function<QRectF(const MmRect&)>& toPixels) const;

    SheetPlan m_plan;
    std::vector<std::size_t> m_feedBars; // indexes of the feed bars that have a rule
};

// The preview with the rule check's warnings below it, for a dialog's layout.
struct PreviewPanel {
    QWidget* panel;
    SheetPreview* preview;
    QLabel* labRules;
};
PreviewPanel NewPreviewPanel(QWidget* parent);
// Draws `s` and lists its warnings (or that it follows the rules).
void ShowPreview(const PreviewPanel& p, const Settings& s);
// What a layout dialog shows of the settings typed into it: where they give no readable code, Ok
// off and the reason in `labReason`; and the preview.
void ShowLayoutChoice(const PreviewPanel& p, QLabel* labReason, QPushButton* btnOK,
                      const Settings& s);

} // namespace kuvrion
