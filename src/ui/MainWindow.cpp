#include "MainWindow.h"

#include "Desktop.h"
#include "FileDialog.h"
#include "ImageList.h"
#include "MessageBox.h"
#include "NumEdit.h"
#include "UiHelpers.h"
#include "base/FileChecks.h"
#include "base/Numbers.h"
#include "base/Platform.h"
#include "AddresseeKeyDialog.h"
#include "DataMatrixDialog.h"
#include "FillCharDialog.h"
#include "ImportSummaryDialog.h"
#include "AboutDialog.h"
#include "LogWindow.h"
#include "OmeCodeDialog.h"
#include "OmeLayoutDialog.h"
#include "OrganizeDialog.h"
#include "PrintAreaDialog.h"
#include "PageTextDialog.h"
#include "ReferencePageDialog.h"
#include "ProgramFiles.h"
#include "ReprintDialog.h"
#include "app/ExportCommand.h"
#include "app/ImportCommand.h"
#include "app/ImportSummary.h"
#include "app/SkeletonCommand.h"
#include "app/VerifyCommand.h"
#include "marking/CodeRules.h"
#include "settings/SettingsCatalogue.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QEventLoop>
#include <QThread>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <exception>
#include <limits>
#include <optional>
#include <thread>

namespace kuvrion {

namespace {

constexpr int kProgressSteps = 1000; // the bar moves in 1000 steps whatever the job's size
constexpr qint64 kRepaintMs = 30;    // repaint at most this often at the fixed points
constexpr int kNoMaxLength = 32767;  // a line edit's own limit

QLabel* NewLabel(QWidget* parent, const QString& name, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLabel* NewImage(QWidget* parent, const QString& name, const QString& key)
{
    auto* label = NewLabel(parent, name);
    SetLabelImage(label, key, QSize(16, 16));
    return label;
}

std::int32_t PxToTwips(int px, qreal dpi)
{
    return static_cast<std::int32_t>(std::lround(px * 1440.0 / dpi));
}

// The keys a text field uses for editing.
bool IsEditingKey(const QKeyEvent& key)
{
    for (const auto standard : {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut,
                                QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo}) {
        if (key.matches(standard))
            return true;
    }
    return false;
}

int TwipsToPx(std::int32_t twips, qreal dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

} // namespace

MainWindow::MainWindow(AppState& state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_session(state, *this)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Kuvrion"));
    setWindowIcon(ImageIcon(QStringLiteral("icon")));
    setAcceptDrops(true);
    BuildControls();
    BuildMenus();

    m_session.Load();
    m_webUpdateAvailable = WebUpdateAvailable(m_state.paths);
    Refresh();
    ShowStatus(0);
    PlaceWindow();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls()
{
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    // Source
    auto* fraSrc = new QGroupBox(QStringLiteral("&Quelle"), central);
    fraSrc->setObjectName(QStringLiteral("fraSrc"));
    auto* src = new QGridLayout(fraSrc);
    txtSrcFile = new QLineEdit(fraSrc);
    txtSrcFile->setObjectName(QStringLiteral("txtSrcFile"));
    txtSrcFile->setReadOnly(true);
    SetFieldGrey(txtSrcFile, true); // chosen by dialog or dropping, never typed
    btnSrcFile = NewPictureButton(fraSrc, QStringLiteral("btnSrcFile"), QStringLiteral("open"));
    btnSrcFile->setToolTip(QStringLiteral(" Quelldatei wählen... "));
    btnImport = new QPushButton(QStringLiteral("Import"), fraSrc);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnImport->setToolTip(QStringLiteral(" Import starten (Strg+I) "));
    btnImpInfo = NewPictureButton(fraSrc, QStringLiteral("btnImpInfo"), QStringLiteral("info"));
    btnImpInfo->setToolTip(QStringLiteral(" Importstatus... "));
    labTotalPgs = NewLabel(fraSrc, QStringLiteral("labTotalPgs"), QStringLiteral("0"));
    labTotalPgs->setToolTip(QStringLiteral(" Gesamtanzahl Seiten "));
    labTotalPgs->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labTotalPgs->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    labPgs = NewLabel(fraSrc, QStringLiteral("labPgs"), QStringLiteral("Seiten"));
    labPgs->setToolTip(labTotalPgs->toolTip());
    labTotalAdr = NewLabel(fraSrc, QStringLiteral("labTotalAdr"), QStringLiteral("0"));
    labTotalAdr->setToolTip(QStringLiteral(" Gesamtanzahl Adressaten "));
    labTotalAdr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labTotalAdr->setMinimumWidth(labTotalPgs->minimumWidth());
    auto* labAdr = NewLabel(fraSrc, QStringLiteral("labAdr"), QStringLiteral("Adressaten"));
    labAdr->setToolTip(labTotalAdr->toolTip());

    auto* srcTotals = new QHBoxLayout;
    srcTotals->addWidget(btnImport);
    srcTotals->addWidget(btnImpInfo);
    srcTotals->addStretch(1);
    srcTotals->addWidget(NewImage(fraSrc, QStringLiteral("imgPgs"), QStringLiteral("pages")));
    srcTotals->addWidget(labTotalPgs);
    srcTotals->addWidget(labPgs);
    srcTotals->addSpacing(12);
    srcTotals->addWidget(NewImage(fraSrc, QStringLiteral("imgAdr"), QStringLiteral("pers")));
    srcTotals->addWidget(labTotalAdr);
    srcTotals->addWidget(labAdr);
    src->addWidget(NewImage(fraSrc, QStringLiteral("imgSrc"), QStringLiteral("pclimp")), 0, 0);
    src->addWidget(txtSrcFile, 0, 1);
    src->addWidget(btnSrcFile, 0, 2);
    src->addLayout(srcTotals, 1, 1, 1, 2);
    src->setColumnStretch(1, 1);

    // Destination
    auto* fraDst = new QGroupBox(QStringLiteral("&Ziel"), central);
    fraDst->setObjectName(QStringLiteral("fraDst"));
    auto* dst = new QGridLayout(fraDst);
    txtDstFile = new QLineEdit(fraDst);
    txtDstFile->setObjectName(QStringLiteral("txtDstFile"));
    txtDstFile->setReadOnly(true);
    SetFieldGrey(txtDstFile, true);
    btnDstFile = NewPictureButton(fraDst, QStringLiteral("btnDstFile"), QStringLiteral("save"));
    btnDstFile->setToolTip(QStringLiteral(" Zieldatei wählen... "));
    txtExpAdr = new NumEdit(fraDst);
    txtExpAdr->setObjectName(QStringLiteral("txtExpAdr"));
    txtExpAdr->SetSelectAllOnFocus(false);
    txtExpAdr->setAlignment(Qt::AlignRight);
    txtExpAdr->setAcceptDrops(false);
    txtExpAdr->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    SetDigitsOnly(txtExpAdr);
    labExpTotal = NewLabel(fraDst, QStringLiteral("labExpTotal"), QStringLiteral("0"));
    btnExport = new QPushButton(QStringLiteral("Export"), fraDst);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    btnExport->setToolTip(QStringLiteral(" Export starten (Strg+E) "));

    auto* dstCount = new QHBoxLayout;
    dstCount->addWidget(btnExport);
    dstCount->addStretch(1);
    dstCount->addWidget(txtExpAdr);
    dstCount->addWidget(
        NewLabel(fraDst, QStringLiteral("labExpA"), QStringLiteral("Adressat(en)")));
    dstCount->addWidget(NewLabel(fraDst, QStringLiteral("labVon"), QStringLiteral("von")));
    dstCount->addWidget(labExpTotal);
    dst->addWidget(NewImage(fraDst, QStringLiteral("imgDst"), QStringLiteral("pclexp")), 0, 0);
    dst->addWidget(txtDstFile, 0, 1);
    dst->addWidget(btnDstFile, 0, 2);
    dst->addLayout(dstCount, 1, 1, 1, 2);
    labExportBad = NewLabel(fraDst, QStringLiteral("labExportBad"),
                            QStringLiteral("Letzter Export fehlerhaft – nicht drucken"));
    labExportBad->setStyleSheet(QStringLiteral("QLabel { color: #c00000; font-weight: bold; }"));
    labExportBad->setVisible(false);
    dst->addWidget(labExportBad, 2, 1, 1, 2);
    dst->setColumnStretch(1, 1);

    // Status
    auto* fraStatus = new QGroupBox(QStringLiteral("Status"), central);
    fraStatus->setObjectName(QStringLiteral("fraStatus"));
    auto* status = new QVBoxLayout(fraStatus);
    auto* line = new QHBoxLayout;
    line->setSpacing(0);
    imgStatus = NewImage(fraStatus, QStringLiteral("imgStatus"), QStringLiteral("this"));
    labStatus = NewLabel(fraStatus, QStringLiteral("labStatus"));
    labHint = NewLabel(fraStatus, QStringLiteral("labHint"));
    labHint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labStatAct = NewLabel(fraStatus, QStringLiteral("labStatAct"));
    labStatVon = NewLabel(fraStatus, QStringLiteral("labStatVon"), QStringLiteral(" von "));
    labStatCnt = NewLabel(fraStatus, QStringLiteral("labStatCnt"));
    line->addWidget(imgStatus);
    line->addSpacing(6);
    line->addWidget(labStatus);
    line->addSpacing(12);
    line->addWidget(labHint, 1);
    line->addWidget(labStatAct);
    line->addWidget(labStatVon);
    line->addWidget(labStatCnt);
    btnCancel = new QPushButton(QStringLiteral("Abbrechen"), fraStatus);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setToolTip(QStringLiteral(" Laufenden Vorgang abbrechen (Esc) "));
    btnCancel->setVisible(false);
    line->addSpacing(8);
    line->addWidget(btnCancel);
    pbMain = new QProgressBar(fraStatus);
    pbMain->setObjectName(QStringLiteral("pbMain"));
    pbMain->setRange(0, kProgressSteps);
    m_repaintTimer = new QTimer(this);
    m_repaintTimer->setInterval(static_cast<int>(kRepaintMs));
    connect(m_repaintTimer, &QTimer::timeout, this, &MainWindow::FlushStatus);
    pbMain->setValue(0);
    pbMain->setTextVisible(false);
    pbMain->setFixedHeight(fontMetrics().height());
    status->addLayout(line);
    status->addWidget(pbMain);

    outer->addWidget(fraSrc);
    outer->addWidget(fraDst);
    outer->addStretch(1);
    outer->addWidget(fraStatus);
    setCentralWidget(central);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 70);

    connect(btnSrcFile, &QToolButton::clicked, this, &MainWindow::ChooseSource);
    connect(btnDstFile, &QToolButton::clicked, this, &MainWindow::ChooseDestination);
    connect(btnImport, &QPushButton::clicked, this, &MainWindow::RunImport);
    connect(btnCancel, &QPushButton::clicked, this, &MainWindow::RequestCancel);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &MainWindow::RequestCancel);
    connect(btnExport, &QPushButton::clicked, this, &MainWindow::RunExport);
    connect(btnImpInfo, &QToolButton::clicked, this, &MainWindow::RunDialog<ImportSummaryDialog>);
    connect(txtExpAdr, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_session.SetExportCount(ValWhole(text.toStdString(), std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max()));
    });
    connect(txtExpAdr, &NumEdit::focusLeft, this,
            [this] { ShowExportCount(QString::number(m_session.BoundExportCount())); });
    for (QLineEdit* field : {txtSrcFile, txtDstFile, static_cast<QLineEdit*>(txtExpAdr)})
        field->installEventFilter(this);
}

void MainWindow::BuildMenus()
{
    auto menu = [](QWidget* parent, const QString& name, const QString& title) {
        auto* m = new QMenu(title, parent);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name + QStringLiteral("_item"));
        return m;
    };
    auto item = [this](QMenu* m, const QString& name, const QString& text,
                       const QKeySequence& key = {}) {
        auto* a = m->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            m_shortcutActions.push_back(a);
        }
        return a;
    };

    QMenu* menuFile = menu(menuBar(), QStringLiteral("menuFile"), QStringLiteral("&Datei"));
    menuFile->setToolTipsVisible(true); // a greyed item tells why
    connect(item(menuFile, QStringLiteral("actionOpenSource"), QStringLiteral("Ö&ffnen..."),
                 QKeySequence(Qt::CTRL | Qt::Key_F)),
            &QAction::triggered, this, &MainWindow::ChooseSource);
    connect(item(menuFile, QStringLiteral("actionSaveAs"), QStringLiteral("Speichern &unter..."),
                 QKeySequence(Qt::CTRL | Qt::Key_U)),
            &QAction::triggered, this, &MainWindow::ChooseDestination);
    menuFile->addSeparator();
    actionImport = item(menuFile, QStringLiteral("actionImport"), QStringLiteral("&Importieren"),
                 QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(actionImport, &QAction::triggered, this, &MainWindow::RunImport);
    actionImportStatus = item(menuFile, QStringLiteral("actionImportStatus"), QStringLiteral("I&mportstatus..."));
    connect(actionImportStatus, &QAction::triggered, this, &MainWindow::RunDialog<ImportSummaryDialog>);
    actionPageText = item(menuFile, QStringLiteral("actionPageText"), QStringLiteral("&Seitentext..."));
    connect(actionPageText, &QAction::triggered, this, &MainWindow::RunDialog<PageTextDialog>);
    QMenu* menuLog = menu(menuFile, QStringLiteral("menuLog"), QStringLiteral("&Logfile"));
    menuFile->addMenu(menuLog);
    actionUseLog = item(menuLog, QStringLiteral("actionUseLog"), QStringLiteral("&Benutzen"));
    actionUseLog->setCheckable(true);
    connect(actionUseLog, &QAction::triggered, this, [this] {
        m_state.cfg.useLog = !m_state.cfg.useLog;
        Refresh();
    });
    actionShowLog = item(menuLog, QStringLiteral("actionShowLog"), QStringLiteral("&Anzeigen..."));
    connect(actionShowLog, &QAction::triggered, this, &MainWindow::ShowLog);
    menuFile->addSeparator();
    actionExport = item(menuFile, QStringLiteral("actionExport"), QStringLiteral("&Exportieren"),
                 QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(actionExport, &QAction::triggered, this, &MainWindow::RunExport);
    connect(item(menuFile, QStringLiteral("actionVerifyExport"), QStringLiteral("Expor&t prüfen...")),
            &QAction::triggered, this, &MainWindow::VerifyMarkedJob);
    actionReprint = item(menuFile, QStringLiteral("actionReprint"), QStringLiteral("&Nachdruck..."));
    connect(actionReprint, &QAction::triggered, this, &MainWindow::RunReprint);
    menuFile->addSeparator();
    connect(item(menuFile, QStringLiteral("actionReferencePage"), QStringLiteral("&Referenzseite...")),
            &QAction::triggered, this, &MainWindow::RunDialog<ReferencePageDialog>);
    QMenu* menuFilePcl = menu(menuFile, QStringLiteral("menuFilePcl"), QStringLiteral("&PCL"));
    menuFile->addMenu(menuFilePcl);
    actionSaveSkeleton = item(menuFilePcl, QStringLiteral("actionSaveSkeleton"), QStringLiteral("Esc-&Skelett speichern..."));
    connect(actionSaveSkeleton, &QAction::triggered, this, &MainWindow::SaveSkeleton);
    menuFile->addSeparator();
    connect(item(menuFile, QStringLiteral("actionQuit"), QStringLiteral("&Beenden")), &QAction::triggered,
            this, &QWidget::close);
    menuBar()->addMenu(menuFile);

    QMenu* menuSettings = menu(menuBar(), QStringLiteral("menuSettings"), QStringLiteral("&Einstellungen"));
    connect(item(menuSettings, QStringLiteral("actionOrganizePages"), QStringLiteral("&Seiten organisieren..."),
                 QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::RunDialog<OrganizeDialog>);
    connect(item(menuSettings, QStringLiteral("actionAddresseeKey"), QStringLiteral("&Adressatenschlüssel..."),
                 QKeySequence(Qt::CTRL | Qt::Key_A)),
            &QAction::triggered, this, &MainWindow::RunDialog<AddresseeKeyDialog>);
    QMenu* menuSettingsPcl = menu(menuSettings, QStringLiteral("menuSettingsPcl"), QStringLiteral("&PCL"));
    menuSettings->addMenu(menuSettingsPcl);
    connect(item(menuSettingsPcl, QStringLiteral("actionPrintArea"), QStringLiteral("&PCL-Druckbereich..."),
                 QKeySequence(Qt::CTRL | Qt::Key_P)),
            &QAction::triggered, this, &MainWindow::RunDialog<PrintAreaDialog>);
    connect(item(menuSettingsPcl, QStringLiteral("actionFillChar"), QStringLiteral("Esc-&Skelett Füllzeichen...")),
            &QAction::triggered, this, &MainWindow::RunDialog<FillCharDialog>);
    QMenu* menuOme = menu(menuSettings, QStringLiteral("menuOme"), QStringLiteral("&OME"));
    menuSettings->addMenu(menuOme);
    connect(item(menuOme, QStringLiteral("actionOmeCode"), QStringLiteral("&Code...")), &QAction::triggered,
            this, &MainWindow::RunDialog<OmeCodeDialog>);
    connect(item(menuOme, QStringLiteral("actionOmeLayout"), QStringLiteral("&Layout...")),
            &QAction::triggered, this, &MainWindow::RunDialog<OmeLayoutDialog>);
    connect(item(menuOme, QStringLiteral("actionDataMatrix"), QStringLiteral("&2D-Code...")),
            &QAction::triggered, this, &MainWindow::RunDialog<DataMatrixDialog>);
    menuBar()->addMenu(menuSettings);
    // What only waits while a command runs: choosing files, checking, the settings dialogs.
    for (const char* name : {"actionOpenSource", "actionSaveAs", "actionVerifyExport", "actionReferencePage"})
        m_waitingActions.push_back(menuFile->findChild<QAction*>(QString::fromLatin1(name)));
    m_waitingActions.push_back(menuSettings->menuAction());

    QMenu* menuHelp = menu(menuBar(), QStringLiteral("menuHelp"), QStringLiteral("&?"));
    connect(item(menuHelp, QStringLiteral("actionAbout"), QStringLiteral("&Info...")), &QAction::triggered,
            this, &MainWindow::RunDialog<AboutDialog>);
    connect(item(menuHelp, QStringLiteral("actionManual"), QStringLiteral("&Hilfe Manual..."),
                 QKeySequence(Qt::Key_F1)),
            &QAction::triggered, this, &MainWindow::OpenManual);
    menuHelp->addSeparator();
    actionWebUpdate = item(menuHelp, QStringLiteral("actionWebUpdate"), QStringLiteral("&Web Update..."));
    connect(actionWebUpdate, &QAction::triggered, this, &MainWindow::WebUpdate);
    menuBar()->addMenu(menuHelp);
}

void MainWindow::PlaceWindow()
{
    adjustSize();
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (const auto& pos = m_state.cfg.windowPosition) {
        const QPoint px(TwipsToPx((*pos)[0], screen->logicalDotsPerInchX()),
                        TwipsToPx((*pos)[1], screen->logicalDotsPerInchY()));
        // A position on a screen that is gone (another monitor setup) would hide the window.
        if (QGuiApplication::screenAt(px + QPoint(20, 10))) {
            move(px);
            return;
        }
    }
    const QRect area = screen->geometry();
    const QSize size = frameGeometry().size();
    move(area.x() + (area.width() - size.width()) / 2,
         area.y() + (area.height() - size.height()) / 2);
}

std::array<std::int32_t, 2> MainWindow::PositionInTwips() const
{
    QPoint px = pos();
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        px = normalGeometry().topLeft() - (geometry().topLeft() - frameGeometry().topLeft());
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const qreal dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
    const qreal dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
    return {PxToTwips(px.x(), dpiX), PxToTwips(px.y(), dpiY)};
}

// ---- What the window shows of the shared state ----

void MainWindow::Refresh()
{
    const Settings& cfg = m_state.cfg;
    txtSrcFile->setText(FromPath(cfg.sourceFile));
    SetPathColour(txtSrcFile, m_state.sourceOk);
    const QString srcReason =
        QString::fromStdString(MessageFor(Action::ImportReason, m_session.SourceFault()).text);
    txtSrcFile->setToolTip(srcReason.isEmpty() ? txtSrcFile->text() : srcReason);
    txtDstFile->setText(FromPath(cfg.destinationFile));
    SetPathColour(txtDstFile, m_state.destinationOk);
    const QString dstReason =
        QString::fromStdString(MessageFor(Action::ExportReason, m_session.DestinationFault()).text);
    txtDstFile->setToolTip(dstReason.isEmpty() ? txtDstFile->text() : dstReason);
    labTotalPgs->setText(QString::number(m_state.jobPages));
    labPgs->setText(m_state.jobDuplex ? QStringLiteral("Seiten, Duplex")
                                      : QStringLiteral("Seiten"));
    const std::int32_t addressees = m_state.importComplete ? m_state.addressees.Count() : 0;
    labTotalAdr->setText(QString::number(addressees));
    labExpTotal->setText(labTotalAdr->text());
    labExportBad->setVisible(m_state.lastExportFailed);
    // The import empties the export count and fills in all addressees when it completes; at other
    // times the field keeps what the user types.
    if (m_importing) {
        const QString count = m_state.importComplete ? labTotalAdr->text() : QString();
        txtExpAdr->setMaxLength(count.isEmpty() ? kNoMaxLength : int(count.size()));
        ShowExportCount(count);
    }
    actionUseLog->setChecked(cfg.useLog);
    UpdateCommands();
}

void MainWindow::ShowExportCount(const QString& text)
{
    if (txtExpAdr->text() != text)
        txtExpAdr->setText(text); // runs the change handler, as typing does
}

void MainWindow::UpdateCommands()
{
    // While a command runs, the others wait and say so.
    const QString busy = m_busy ? QString::fromStdString(BusyReasonText()) : QString();
    const std::optional<Failure> importBlocker = m_session.ImportBlocker();
    const bool canImport = !m_busy && !importBlocker;
    const QString importReason =
        m_busy ? busy
               : QString::fromStdString(MessageFor(Action::ImportReason, importBlocker).text);
    actionImport->setEnabled(canImport);
    actionImport->setToolTip(importReason);
    btnImport->setEnabled(canImport);
    btnImport->setToolTip(canImport ? QStringLiteral(" Import starten (Strg+I) ") : importReason);
    const std::optional<Failure> exportBlocker = m_session.ExportBlocker();
    const bool canExport = !m_busy && !exportBlocker;
    const QString exportReason =
        m_busy ? busy
               : QString::fromStdString(MessageFor(Action::ExportReason, exportBlocker).text);
    actionExport->setEnabled(canExport);
    actionExport->setToolTip(exportReason);
    actionReprint->setEnabled(canExport);
    actionReprint->setToolTip(exportReason);
    btnExport->setEnabled(canExport);
    btnExport->setToolTip(canExport ? QStringLiteral(" Export starten (Strg+E) ") : exportReason);
    const bool canStatus = !m_busy && m_state.jobPages != 0;
    actionImportStatus->setEnabled(canStatus);
    btnImpInfo->setEnabled(canStatus);
    const bool canReadPages = !m_busy && CanSaveSkeleton(m_session);
    actionSaveSkeleton->setEnabled(canReadPages);
    actionPageText->setEnabled(canReadPages); // both read the pages of the imported job
    for (QAction* action : {actionImportStatus, actionSaveSkeleton, actionPageText})
        action->setToolTip(busy);
    txtExpAdr->setReadOnly(m_busy);
    actionShowLog->setEnabled(!m_busy && m_state.logAvailable);
    actionWebUpdate->setEnabled(!m_busy && m_webUpdateAvailable);
    for (QAction* action : m_waitingActions) {
        action->setEnabled(!m_busy);
        action->setToolTip(busy);
    }
    btnSrcFile->setEnabled(!m_busy);
    btnDstFile->setEnabled(!m_busy);

    // The status line names what stands in the way of the next step: the import first, then,
    // once a job is imported, the export.
    // Without such a reason it shows the warnings of the reading-rule check for the export.
    // While a command runs, the status line is its own (the waiting commands say why in their
    // tips).
    QString hint;
    if (!m_busy) {
        hint = importReason;
        if (hint.isEmpty() && (m_state.importComplete || m_state.lastImportFailure))
            hint = exportReason;
        if (hint.isEmpty() && m_state.importComplete) {
            QStringList warnings;
            for (const RuleWarning w : CheckRules(m_state.cfg))
                warnings << QString::fromStdString(RuleWarningText(w));
            hint = warnings.join(QLatin1Char(' '));
        }
        if (hint.isEmpty())
            hint = m_notice;
    }
    labHint->setText(hint);
    labHint->setToolTip(hint);
}

void MainWindow::StateChanged()
{
    OnWindowThread([this] { Refresh(); });
}

// ---- Status line and progress ----

void MainWindow::ShowStatus(std::int32_t state)
{
    if (QThread::currentThread() != thread()) {
        OnWindowThread([this, state] { ShowStatus(state); });
        return;
    }
    static const char* const kIcons[] = {"this", "scan", "pers", "pclexp", "pclexp"};
    const std::int32_t s = state < 0 || state > 4 ? 0 : state;
    SetLabelImage(imgStatus, QString::fromLatin1(kIcons[s]), QSize(16, 16));
    labStatus->setText(QString::fromUtf8(StatusText(s)));
    labStatAct->setVisible(s == 3 || s == 4);
    labStatVon->setVisible(s == 3 || s == 4);
    labStatCnt->setVisible(s >= 1);
    m_progressValue = 0;
    FlushStatus();
}

void MainWindow::ShowTotal(std::int64_t n)
{
    m_total = n;
    if (!m_busy)
        FlushStatus();
}

void MainWindow::ShowCurrent(std::int64_t n)
{
    m_current = n;
    if (!m_busy)
        FlushStatus();
}

void MainWindow::SetProgressMaximum(double max)
{
    m_progressMax = max;
    if (!m_busy)
        FlushStatus();
}

void MainWindow::SetProgressValue(double value)
{
    m_progressValue = value;
    if (!m_busy)
        FlushStatus();
}

void MainWindow::FlushStatus()
{
    const QString total = QString::number(m_total.load());
    if (labStatCnt->text() != total)
        labStatCnt->setText(total);
    const QString current = QString::number(m_current.load());
    if (labStatAct->text() != current)
        labStatAct->setText(current);
    const double max = m_progressMax;
    const double value = m_progressValue;
    int steps = 0;
    if (max > 0 && value > 0)
        steps = static_cast<int>(std::lround(std::min(1.0, value / max) * kProgressSteps));
    pbMain->setValue(steps);
    ArrangeStatus();
}

void MainWindow::ArrangeStatus()
{
    // The status line's layout keeps labStatCnt at the right edge with labStatVon and labStatAct
    // directly to its left; a changed text only needs the layout to run again.
    if (QLayout* layout = labStatCnt->parentWidget()->layout())
        layout->invalidate();
}

void MainWindow::ProcessEvents()
{
    // On a worker thread the window's own loop runs and the timer repaints.
    if (QThread::currentThread() != thread())
        return;
    if (m_lastRepaint.isValid() && m_lastRepaint.elapsed() < kRepaintMs)
        return;
    FlushStatus();
    QCoreApplication::processEvents();
    m_lastRepaint.start();
}

void MainWindow::SetBusy(bool busy)
{
    if (QThread::currentThread() != thread()) {
        OnWindowThread([this, busy] { SetBusy(busy); });
        return;
    }
    if (busy == m_busy)
        return;
    m_busy = busy;
    // The window stays readable; the other commands wait (UpdateCommands) and "Abbrechen" stops
    // this one.
    btnCancel->setVisible(busy);
    btnCancel->setEnabled(busy && !m_cancel);
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        m_lastRepaint.invalidate();
        m_repaintTimer->start();
    } else {
        m_repaintTimer->stop();
        QApplication::restoreOverrideCursor();
        FlushStatus();
    }
    UpdateCommands();
}

void MainWindow::ShowNotice(const std::string& text)
{
    OnWindowThread([this, &text] {
        m_notice = QString::fromStdString(text);
        UpdateCommands();
    });
}

// ---- Commands ----

void MainWindow::ChooseSource()
{
    if (m_running)
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Quelldatei wählen");
    request.filters = PclFileFilters();
    request.filterIndex = ReadFilterIndex(m_state.ini, false);
    request.fileName = FromPath(m_state.cfg.sourceFile);
    request.mustExist = true;
    if (const auto chosen = FileDialog::Run(this, request)) {
        m_session.ChooseSource(ToPath(chosen->path));
        RememberSource(chosen->filterIndex);
        Refresh();
    }
}

void MainWindow::ChooseDestination()
{
    if (m_running)
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Zieldatei wählen");
    request.filters = PclFileFilters();
    request.filterIndex = ReadFilterIndex(m_state.ini, true);
    // The dialog starts at the destination while its folder exists, else in the source's folder.
    // Without one, it proposes "<job>-OME.pcl" beside the job.
    const std::string& dst = m_state.cfg.destinationFile;
    if (!dst.empty() && DirExists(ParentPath(dst)))
        request.fileName = FromPath(dst);
    else if (const std::string suggested = SuggestedDestination(); !suggested.empty())
        request.fileName = FromPath(suggested);
    request.defaultSuffix = QStringLiteral("pcl");
    request.save = true;
    request.confirmOverwrite = true;
    if (const auto chosen = FileDialog::Run(this, request)) {
        m_session.ChooseDestination(ToPath(chosen->path));
        RememberDestination(chosen->filterIndex);
        Refresh();
    }
}

void MainWindow::RememberSource(std::optional<std::int32_t> filterIndex)
{
    static_cast<void>(WriteSourceFile(m_state.ini, m_state.cfg.sourceFile, filterIndex));
}

void MainWindow::RememberDestination(std::optional<std::int32_t> filterIndex)
{
    static_cast<void>(WriteDestinationFile(m_state.ini, m_state.cfg.destinationFile, filterIndex));
}

std::string MainWindow::SuggestedDestination() const
{
    const std::string& src = m_state.cfg.sourceFile;
    if (src.empty() || !DirExists(ParentPath(src)))
        return {};
    std::filesystem::path suggested = PathFromUtf8(src);
    suggested.replace_filename(suggested.stem().u8string() + u8"-OME.pcl");
    return PathToUtf8(suggested);
}

void MainWindow::RequestCancel()
{
    if (!m_running || m_cancel)
        return;
    m_cancel = true;
    btnCancel->setEnabled(false);
}

void MainWindow::ShowOutcome(const Outcome& outcome)
{
    if (outcome.failure && outcome.failure->what == FailureKind::Cancelled) {
        const QString stopped = QString::fromStdString(CancelledText());
        labStatCnt->setText(stopped);
        labStatCnt->setVisible(true);
        labStatAct->setVisible(false);
        labStatVon->setVisible(false);
    }
}

void MainWindow::OnWindowThread(const std::function<void()>& show)
{
    if (QThread::currentThread() == thread())
        show();
    else
        QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

Outcome MainWindow::RunCommand(const std::function<Outcome()>& command)
{
    m_running = true;
    m_cancel = false;
    // The command changes the shared state only while the window waits for it (every report
    // that shows the state runs here while the worker waits), so the two never read and write it
    // at once.
    QEventLoop loop;
    std::optional<Outcome> outcome;
    std::exception_ptr thrown;
    std::thread worker([&] {
        try {
            outcome = command();
        } catch (...) {
            thrown = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    SetBusy(false);
    m_running = false;
    if (thrown)
        std::rethrow_exception(thrown);
    Refresh();
    ShowOutcome(*outcome);
    return *outcome;
}

Outcome MainWindow::RunAndTell(const std::function<Outcome()>& command)
{
    const Outcome outcome = RunCommand(command);
    MessageBox::Tell(this, outcome);
    return outcome;
}

CommandRunner MainWindow::Runner()
{
    return {[this](const std::function<Outcome()>& command) { return RunAndTell(command); },
            [this] { RequestCancel(); }};
}

void MainWindow::RunImport()
{
    if (m_running || !m_session.CanImport())
        return;
    m_importing = true;
    const Outcome imported = RunCommand([this] { return kuvrion::RunImport(m_session); });
    m_importing = false;
    // The import status first when a fault was counted, then what the import says.
    if (imported.Ok() && ImportHasKeyFaults(m_state)) {
        ImportSummaryDialog dialog(m_session, this);
        dialog.exec();
    }
    MessageBox::Tell(this, imported);
}

void MainWindow::RunExport()
{
    if (m_running || !m_session.CanExport())
        return;
    RunAndTell([this] { return kuvrion::RunExport(m_session); });
}

void MainWindow::RunReprint()
{
    if (m_running)
        return;
    ReprintDialog dialog(m_session, Runner(), this);
    dialog.exec();
}

// "Export prüfen...": a marked job chosen in a file dialog, checked with the current settings.
void MainWindow::VerifyMarkedJob()
{
    if (m_running)
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Markierten Job prüfen");
    request.filters = PclFileFilters();
    request.fileName = FromPath(m_state.cfg.destinationFile);
    request.mustExist = true;
    const auto result = FileDialog::Run(this, request);
    if (!result)
        return;
    const std::string marked = ToPath(result->path);
    RunAndTell([this, &marked] { return RunVerify(m_session, {.marked = marked}); });
}

void MainWindow::SaveSkeleton()
{
    if (m_running || !CanSaveSkeleton(m_session))
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Esc-Skelett speichern unter...");
    request.filters = {QStringLiteral("Texte (*.txt)"), QStringLiteral("PCL-Dateien (*.pcl)"),
                       QStringLiteral("Alle Dateien (*)")};
    request.fileName = FromPath(kuvrion::SkeletonPath(m_session));
    request.defaultSuffix = QStringLiteral("txt");
    request.save = true;
    const auto chosen = FileDialog::Run(this, request);
    if (!chosen)
        return;
    const std::string path = ToPath(chosen->path);
    RememberSkeletonPath(m_session, path);
    RunAndTell([this, &path] { return RunSkeleton(m_session, path); });
}

void MainWindow::ShowLog()
{
    if (m_running)
        return;
    if (const auto log = LogText(this, m_state.paths)) {
        LogWindow dialog(m_state.paths, *log, this);
        dialog.exec();
    }
}

void MainWindow::OpenManual()
{
    if (const auto manual = ManualToOpen(this, m_state.paths)) {
        if (!Desktop::OpenUrl(QUrl::fromLocalFile(FromPath(*manual))))
            NoViewer(this, Action::OpenManual, *manual);
    }
}

void MainWindow::WebUpdate()
{
    if (m_running || !m_webUpdateAvailable)
        return;
    m_runUpdater = true;
    close();
}

template <class Dialog> void MainWindow::RunDialog()
{
    if (m_running)
        return;
    Dialog dialog(m_session, this);
    dialog.exec();
    Refresh();
}

void MainWindow::TakeJobFromOtherStart(const QString& job)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (job.isEmpty())
        return;
    if (m_running) {
        // The running command reads the source: the job waits until it is done.
        constexpr int kRetryMs = 200;
        QTimer::singleShot(kRetryMs, this, [this, job] { TakeJobFromOtherStart(job); });
        return;
    }
    UseCommandLineFile(ToPath(job));
}

void MainWindow::UseCommandLineFile(const std::string& path)
{
    if (FileExists(path)) {
        m_session.ChooseSource(path);
        RememberSource(std::nullopt);
    } else {
        m_session.ChooseSource({});
        MessageBox::Tell(this, OutcomeOf(Action::CommandLine,
                                         Failure{FailureKind::FileMissing, ENOENT, 0, path}));
    }
    Refresh();
}

// ---- Window events ----

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        // The job is still being read or written; closing now would pull the state from under it.
        // Closing asks it to stop instead; the window closes on the next attempt.
        RequestCancel();
        event->ignore();
        return;
    }
    if (m_closed) {
        event->accept();
        return;
    }
    m_closed = true;
    const auto position = PositionInTwips();
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        showNormal();
    static_cast<void>(m_state.log.Close());
    m_state.cfg.windowPosition = position;
    static_cast<void>(WriteSettings(m_state.ini, m_state.cfg, SettingGroup::Window));
    if (m_runUpdater) {
        const std::vector<std::string> line = UpdaterCommandLine(m_state.paths);
        if (!line.empty()) {
            QStringList arguments;
            for (std::size_t i = 1; i < line.size(); ++i)
                arguments << FromPath(line[i]);
            Desktop::StartDetached(FromPath(line.front()), arguments,
                                   FromPath(PathToUtf8(m_state.paths.programDir)));
        }
    }
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_running || !event->mimeData()->hasUrls())
        return;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (m_running || !event->mimeData()->hasUrls())
        return;
    // The first local file dropped becomes the source.
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            m_session.ChooseSource(ToPath(url.toLocalFile()));
            RememberSource(std::nullopt);
            Refresh();
            return;
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // In a text field the editing keys (select all, copy, cut, paste, undo, redo) keep their
    // editing meaning: Ctrl+A there selects the text instead of opening the key dialog. Every other
    // menu shortcut (Ctrl+E, Ctrl+I, ...) wins over what the field would make of it.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (IsEditingKey(*key))
            return QMainWindow::eventFilter(watched, event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction* action : m_shortcutActions) {
            if (action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace kuvrion
