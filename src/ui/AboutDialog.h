// The about box: product name, version, revision with release date, a description, the legal
// notice and the support address over a tiled background. Any key, a mouse click on the box, its
// pictures or a label closes it; a click on the support address first starts a new e-mail to it.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;

namespace kuvrion {

class Session;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    // The same, for the main window that opens every dialog with its commands.
    AboutDialog(Session& session, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Paints the background picture repeatedly, stepX apart across and stepY apart down.
    void TileBackground(QPainter& painter, int stepX, int stepY);
    void PlaceShadow();

    QPixmap m_background;
    QLabel* lab[7] = {};
    QLabel* imgInfo = nullptr;
    QLabel* imgLogo = nullptr;
};

} // namespace kuvrion
