// The program's image list: named pictures from the resources (":/images/<key>.svg"), drawn sharp
// at any scaling. A key without a picture gives an empty icon or pixmap, never an error.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

class QLabel;

namespace kuvrion {

// Registers the compiled-in resources; safe to call more than once. Programs and tests that link
// the GUI library call it before the first window opens.
void InitResources();

QIcon ImageIcon(const QString& key);
// The picture in `size` device-independent pixels for a device pixel ratio of `dpr`.
QPixmap ImagePixmap(const QString& key, QSize size, qreal dpr = 1.0);
// The picture's own size (as drawn), empty when there is no such picture.
QSize ImageSize(const QString& key);
// Shows the picture in `label` at `size` (its own size when empty) and remembers its key in the
// property "imageKey", so a caller can ask which picture a label shows.
void SetLabelImage(QLabel* label, const QString& key, QSize size = {});

} // namespace kuvrion
