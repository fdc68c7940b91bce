#include "UiHelpers.h"

#include "ImageList.h"
#include "base/ByteText.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace kuvrion {

QString FromPath(const std::string& path)
{
    return QString::fromStdString(path);
}

std::string ToPath(const QString& path)
{
    return path.toStdString();
}

QString FromCp1252(const std::string& bytes)
{
    return QString::fromStdString(Cp1252ToUtf8(bytes));
}

std::string ToCp1252(const QString& text)
{
    return Utf8ToCp1252(text.toStdString());
}

QString DisplayMM(float value)
{
    if (!std::isfinite(value) || value == 0.0f)
        return QStringLiteral("0");
    QLocale german(QLocale::German, QLocale::Germany);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = german.toString(static_cast<double>(value), 'g', 7);
    if (text.contains(QLatin1Char('E'), Qt::CaseInsensitive)) {
        // Very large or very small values: fixed notation with the trailing zeros dropped.
        text = german.toString(static_cast<double>(value), 'f', 7);
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char(',')))
            text.chop(1);
    }
    return text;
}

void SelectAllText(QLineEdit* field)
{
    field->setSelection(0, static_cast<int>(field->text().size()));
}

void SetDigitsOnly(QLineEdit* field)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]*"));
    field->setValidator(new QRegularExpressionValidator(digits, field));
}

void SetPathColour(QLineEdit* field, bool ok)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Text, ok ? QApplication::palette(field).color(QPalette::ButtonText)
                                        : QColor(255, 0, 0));
    field->setPalette(palette);
}

void SetFieldGrey(QLineEdit* field, bool grey)
{
    QPalette palette = field->palette();
    const QPalette normal = QApplication::palette(field);
    palette.setColor(QPalette::Base, normal.color(grey ? QPalette::Button : QPalette::Base));
    field->setPalette(palette);
}

QToolButton* NewPictureToggle(QWidget* parent, const QString& objectName)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setCheckable(true);
    InitResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/images/led_off.svg"), QSize(), QIcon::Normal, QIcon::Off);
    icon.addFile(QStringLiteral(":/images/led_on.svg"), QSize(), QIcon::Normal, QIcon::On);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    return button;
}

QToolButton* NewPictureButton(QWidget* parent, const QString& objectName, const QString& key)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(ImageIcon(key));
    button->setIconSize(QSize(16, 16));
    return button;
}

DialogButtons AddDialogButtons(QDialog* dialog, QBoxLayout* layout, bool okIsDefault)
{
    auto* btnOK = new QPushButton(QStringLiteral("&Ok"), dialog);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(okIsDefault);
    auto* btnAbbruch = new QPushButton(QStringLiteral("Abbre&chen"), dialog);
    btnAbbruch->setObjectName(QStringLiteral("btnAbbruch"));
    QObject::connect(btnAbbruch, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAbbruch);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return {btnOK, btnAbbruch};
}

std::int16_t FilterNumKey(std::int16_t key, bool allowMinus)
{
    if ((key >= '0' && key <= '9') || key == 8)
        return key;
    if (key == ',' || key == '.')
        return ',';
    if (key == '-' && allowMinus)
        return key;
    return 0;
}

void FitListRows(QListWidget* list)
{
    const QFontMetrics metrics = list->fontMetrics();
    const int accented = metrics.boundingRect(QStringLiteral("ÄÖÜÅÉ")).height() + 4;
    int widest = 0;
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        QSize hint = list->sizeHintForIndex(list->indexFromItem(item));
        hint.setHeight(std::max(hint.height(), accented));
        item->setSizeHint(hint);
        widest = std::max(widest, hint.width());
    }
    list->setMinimumWidth(widest + list->frameWidth() * 2 +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
}

QLabel* NewReasonLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("labReason"));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label->setPalette(palette);
    // Room for two lines whether or not there is a reason, so the dialog keeps its size.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMinimumHeight(label->fontMetrics().lineSpacing() * 2);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // the text never widens it
    return label;
}

void ShowReason(QLabel* label, QPushButton* btnOK, const QString& reason)
{
    label->setText(reason);
    btnOK->setEnabled(reason.isEmpty());
}

} // namespace kuvrion
