#include "DataMatrixDialog.h"

#include "Cp1252Validator.h"
#include "NumEdit.h"
#include "UiHelpers.h"
#include "MessageBox.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "marking/DmxSymbol.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kuvrion {

namespace {

// The fields of the template with what they stand for, in the order of the list.
struct FieldText {
    const char* field;
    const char* meaning;
};
constexpr FieldText kFields[] = {
    {"{JOB:4}", "Jobnummer"},
    {"{ENV:6}", "Kuvertnummer im Export"},
    {"{SHEET:2}", "Blatt im Kuvert"},
    {"{SHEETS:2}", "Blätter im Kuvert"},
    {"{CLOSE:1}", "1 auf dem Blatt, das das Kuvert schließt, sonst 0"},
    {"{SEQ:6}", "Blatt im Job"},
    {"{ID}", "Adress-ID (persönliche Daten im Code)"},
};

QLineEdit* NewWholeField(QWidget* parent, const QString& objectName, std::int32_t value, int digits)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    SetDigitsOnly(field);
    field->setMaxLength(digits);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    field->setText(QString::number(value));
    return field;
}

QLabel* Caption(QWidget* parent, const QString& objectName, const char* text, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(objectName);
    label->setBuddy(buddy);
    return label;
}

} // namespace

DataMatrixDialog::DataMatrixDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("DataMatrixDialog"));
    setWindowTitle(QStringLiteral("2D-Code"));
    const Settings& cfg = session.State().cfg;

    chkUseDmx = new QCheckBox(QStringLiteral("2D-Code &drucken"), this);
    chkUseDmx->setObjectName(QStringLiteral("chkUseDmx"));
    chkUseDmx->setChecked(cfg.useDmx);

    txtDmxX = NewMillimetreField(this, QStringLiteral("txtDmxX"), cfg.dmxX, false);
    txtDmxY = NewMillimetreField(this, QStringLiteral("txtDmxY"), cfg.dmxY, false);
    txtDmxModule = NewMillimetreField(this, QStringLiteral("txtDmxModule"), cfg.dmxModule, false);
    txtDmxQuiet = NewWholeField(this, QStringLiteral("txtDmxQuiet"), cfg.dmxQuiet, 2);
    txtDmxJob = NewWholeField(this, QStringLiteral("txtDmxJob"), cfg.dmxJob, 4);
    chkDmxClear = new QCheckBox(QStringLiteral("Fläche vorher &weiß füllen"), this);
    chkDmxClear->setObjectName(QStringLiteral("chkDmxClear"));
    chkDmxClear->setChecked(cfg.dmxClear);

    auto* place = new QFormLayout;
    place->addRow(Caption(this, QStringLiteral("labDmxX"), "&X (rechts), mm", txtDmxX), txtDmxX);
    place->addRow(Caption(this, QStringLiteral("labDmxY"), "&Y (oben), mm", txtDmxY), txtDmxY);
    place->addRow(Caption(this, QStringLiteral("labDmxModule"), "&Modul, mm", txtDmxModule),
                  txtDmxModule);
    place->addRow(Caption(this, QStringLiteral("labDmxQuiet"), "&Ruhezone, Module", txtDmxQuiet),
                  txtDmxQuiet);
    place->addRow(Caption(this, QStringLiteral("labDmxJob"), "&Jobnummer", txtDmxJob), txtDmxJob);
    place->addRow(chkDmxClear);
    auto* fraDmxPlace = new QGroupBox(QStringLiteral("Lage"), this);
    fraDmxPlace->setObjectName(QStringLiteral("fraDmxPlace"));
    fraDmxPlace->setLayout(place);

    txtDmxTemplate = new QLineEdit(this);
    txtDmxTemplate->setObjectName(QStringLiteral("txtDmxTemplate"));
    txtDmxTemplate->setValidator(new Cp1252Validator(txtDmxTemplate));
    // A stored value holds at most 259 characters, two of them the enclosing "^".
    txtDmxTemplate->setMaxLength(257);
    txtDmxTemplate->setText(FromCp1252(cfg.dmxTemplate));
    lstDmxFields = new QListWidget(this);
    lstDmxFields->setObjectName(QStringLiteral("lstDmxFields"));
    for (const FieldText& f : kFields) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  %2").arg(QString::fromUtf8(f.field), QString::fromUtf8(f.meaning)),
            lstDmxFields);
        item->setData(Qt::UserRole, QString::fromUtf8(f.field));
    }
    lstDmxFields->setToolTip(QStringLiteral("Doppelklick fügt das Feld in den Inhalt ein"));
    // Wide enough to read every field's meaning without scrolling sideways.
    FitListRows(lstDmxFields);
    auto* btnDmxInsert = new QPushButton(QStringLiteral("&Einfügen"), this);
    btnDmxInsert->setObjectName(QStringLiteral("btnDmxInsert"));
    labDmxExample = new QLabel(this);
    labDmxExample->setObjectName(QStringLiteral("labDmxExample"));
    labDmxExample->setTextFormat(Qt::PlainText);
    labDmxExample->setWordWrap(true);

    auto* content = new QVBoxLayout;
    content->addWidget(Caption(this, QStringLiteral("labDmxTemplate"), "&Inhalt", txtDmxTemplate));
    content->addWidget(txtDmxTemplate);
    content->addWidget(Caption(this, QStringLiteral("labDmxFields"),
                               "&Felder (Stellenzahl nach dem Doppelpunkt)", lstDmxFields));
    content->addWidget(lstDmxFields);
    content->addWidget(btnDmxInsert, 0, Qt::AlignLeft);
    content->addWidget(labDmxExample);
    auto* fraDmxContent = new QGroupBox(QStringLiteral("Inhalt"), this);
    fraDmxContent->setObjectName(QStringLiteral("fraDmxContent"));
    fraDmxContent->setLayout(content);

    auto* columns = new QHBoxLayout;
    columns->addWidget(fraDmxPlace, 0, Qt::AlignTop);
    columns->addWidget(fraDmxContent, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkUseDmx);
    layout->addLayout(columns);
    QPushButton* const btnOK = AddDialogButtons(this, layout).btnOK;

    connect(txtDmxTemplate, &QLineEdit::textChanged, this, &DataMatrixDialog::UpdateExample);
    connect(txtDmxJob, &QLineEdit::textChanged, this, &DataMatrixDialog::UpdateExample);
    connect(lstDmxFields, &QListWidget::itemDoubleClicked, this, &DataMatrixDialog::InsertField);
    connect(btnDmxInsert, &QPushButton::clicked, this, &DataMatrixDialog::InsertField);
    connect(btnOK, &QPushButton::clicked, this, &DataMatrixDialog::Confirm);
    UpdateExample();
    chkUseDmx->setFocus();
}

Settings DataMatrixDialog::Edited() const
{
    Settings s = m_session.State().cfg;
    s.useDmx = chkUseDmx->isChecked();
    s.dmxX = MillimetreValue(txtDmxX);
    s.dmxY = MillimetreValue(txtDmxY);
    s.dmxModule = MillimetreValue(txtDmxModule);
    s.dmxQuiet = txtDmxQuiet->text().toInt();
    s.dmxClear = chkDmxClear->isChecked();
    s.dmxTemplate = ToCp1252(txtDmxTemplate->text());
    s.dmxJob = txtDmxJob->text().toInt();
    return s;
}

void DataMatrixDialog::UpdateExample()
{
    const Result<std::string> content = DmxExample(Edited());
    if (!content) {
        labDmxExample->setText(QStringLiteral("Beispiel (Kuvert 1, Blatt 1 von 2): nicht möglich"));
        return;
    }
    labDmxExample->setText(QStringLiteral("Beispiel (Kuvert 1, Blatt 1 von 2, ID 4711): %1")
                               .arg(FromCp1252(*content)));
}

void DataMatrixDialog::InsertField()
{
    const QListWidgetItem* item = lstDmxFields->currentItem();
    if (!item)
        return;
    txtDmxTemplate->insert(item->data(Qt::UserRole).toString());
    txtDmxTemplate->setFocus();
}

void DataMatrixDialog::Confirm()
{
    if (MessageBox::Confirmed(this, ApplyDmx(m_session, Edited())))
        accept();
}

} // namespace kuvrion
