#include "AboutDialog.h"

#include "Desktop.h"
#include "ImageList.h"
#include "base/Version.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace kuvrion {

AboutDialog::AboutDialog(Session& /*session*/, QWidget* parent) : AboutDialog(parent) {}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("Info"));
    m_background = ImagePixmap(QStringLiteral("about_bg"), ImageSize(QStringLiteral("about_bg")),
                               devicePixelRatioF());

    for (int i = 0; i < 7; ++i) {
        lab[i] = new QLabel(this);
        lab[i]->setObjectName(QStringLiteral("lab_%1").arg(i));
        lab[i]->installEventFilter(this);
    }
    imgInfo = new QLabel(this);
    imgInfo->setObjectName(QStringLiteral("imgInfo"));
    SetLabelImage(imgInfo, QStringLiteral("about_pic"));
    imgInfo->installEventFilter(this);
    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    SetLabelImage(imgLogo, QStringLiteral("about_logo"));
    imgLogo->installEventFilter(this);

    QFont title = font();
    title.setPointSizeF(title.pointSizeF() * 2.2);
    title.setBold(true);
    lab[0]->setFont(title);
    lab[6]->setFont(title);
    // lab(6) repeats the name a little offset behind lab(0), as its shadow.
    lab[6]->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 70);"));
    lab[6]->lower();
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lab[3]->setWordWrap(true);
    lab[3]->setFont(small);
    lab[4]->setFont(small);
    lab[5]->setStyleSheet(QStringLiteral("color: #1a4f9c; text-decoration: underline;"));
    lab[5]->setCursor(Qt::PointingHandCursor);

    lab[0]->setText(
        QString::fromUtf8(kProductName.data(), static_cast<qsizetype>(kProductName.size())));
    lab[6]->setText(lab[0]->text());
    lab[1]->setText(QString::fromStdString(VersionText()));
    lab[2]->setText(QString::fromStdString(RevisionText()));
    lab[3]->setText(QString::fromUtf8(kComments));
    lab[4]->setText(QString::fromUtf8(kLegalNotice));
    lab[5]->setText(QString::fromUtf8(kSupportAddress));

    auto* texts = new QVBoxLayout;
    texts->addWidget(lab[0]);
    texts->addWidget(lab[1]);
    texts->addWidget(lab[2]);
    texts->addSpacing(8);
    texts->addWidget(lab[3]);
    texts->addStretch(1);
    texts->addWidget(lab[4]);
    texts->addWidget(lab[5]);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 18, 18, 18);
    grid->setHorizontalSpacing(18);
    grid->addWidget(imgInfo, 0, 0, Qt::AlignTop | Qt::AlignHCenter);
    grid->addWidget(imgLogo, 1, 0, Qt::AlignBottom | Qt::AlignHCenter);
    grid->addLayout(texts, 0, 1, 2, 1);
    lab[3]->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutDialog::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    TileBackground(painter, 73, 73);
}

void AboutDialog::TileBackground(QPainter& painter, int stepX, int stepY)
{
    if (m_background.isNull() || stepX <= 0 || stepY <= 0)
        return;
    for (int y = 0; y < height(); y += stepY)
        for (int x = 0; x < width(); x += stepX)
            painter.drawPixmap(x, y, m_background);
}

void AboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    PlaceShadow();
}

void AboutDialog::PlaceShadow()
{
    // The layout does not manage the shadow; it follows lab(0) by two pixels.
    const QRect name = lab[0]->geometry();
    lab[6]->setGeometry(name.translated(2, 2));
    lab[6]->lower();
}

void AboutDialog::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    accept();
}

void AboutDialog::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    accept();
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == lab[5])
            Desktop::OpenUrl(QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kSupportAddress)));
        accept();
        return true;
    }
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Move ||
        event->type() == QEvent::Resize) {
        if (watched == lab[0])
            PlaceShadow();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kuvrion
