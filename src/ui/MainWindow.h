// The main window: source and destination jobs, the totals of the last import, the number of
// addressees to export and the status line with its progress bar. It owns the session over the
// shared state it is given (which must outlive it), shows what the commands report and the message
// of each command's outcome. Every command starts here and every dialog is modal over it. What
// only the window needs lives here too: the file dialogs' filters, remembering the chosen files,
// the log switch, the window position and the web update, which closing starts when requested.
#pragma once

#include "app/AppState.h"
#include "app/Outcome.h"
#include "app/Session.h"
#include "app/Reporter.h"
#include "CommandRunner.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace kuvrion {

class NumEdit;

class MainWindow : public QMainWindow, public Reporter {
    Q_OBJECT
public:
    // Builds the window and runs the load step (reads the settings, places the window).
    explicit MainWindow(AppState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return m_session; }
    // How a dialog runs a long command beside the window (see CommandRunner).
    CommandRunner Runner();

    // Reporter. A running command calls it from its worker thread: the figures of the status
    // line are taken from there by a timer, everything else runs on the window's thread while
    // the command waits.
    void ShowStatus(std::int32_t state) override;
    void ShowTotal(std::int64_t n) override;
    void ShowCurrent(std::int64_t n) override;
    void SetProgressMaximum(double max) override;
    void SetProgressValue(double value) override;
    void ProcessEvents() override;
    void SetBusy(bool busy) override;
    bool Cancelled() override { return m_cancel.load(); }
    void ShowNotice(const std::string& text) override;
    void StateChanged() override;

    // Keeps the counter "current von total" together at the right edge of the status line.
    void ArrangeStatus();
    // Enabled state of every command by its rule.
    void UpdateCommands();
    // A later start of the program handed over `job` (empty: none): raises the window and takes
    // the job as the source, as from the command line, once no command runs.
    void TakeJobFromOtherStart(const QString& job);
    // The job named on the program's command line becomes the source and is remembered. A file
    // that does not exist leaves the source empty for this run (the settings keep theirs) and
    // says so.
    void UseCommandLineFile(const std::string& path);
    // The window position in twips (of the normal, not minimised or maximised window).
    std::array<std::int32_t, 2> PositionInTwips() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void PlaceWindow();
    void Refresh();
    void ShowExportCount(const QString& text);
    void FlushStatus();

    void ChooseSource();
    void ChooseDestination();
    // Asks the running command to stop (the button, Escape, closing the window).
    void RequestCancel();
    // Runs `command` on a worker thread while the window's events go on; the other commands wait
    // and "Abbrechen" stops it. Returns its outcome; its message is the caller's to show.
    Outcome RunCommand(const std::function<Outcome()>& command);
    // Runs `command` as RunCommand does and shows its message.
    Outcome RunAndTell(const std::function<Outcome()>& command);
    // The chosen source / destination stored as the next start's, with the file dialog's filter.
    void RememberSource(std::optional<std::int32_t> filterIndex);
    void RememberDestination(std::optional<std::int32_t> filterIndex);
    // The destination proposed while none is chosen: "<job>-OME.pcl" beside the source job; empty
    // when the source's folder does not exist.
    std::string SuggestedDestination() const;
    // Runs `show` on the window's thread; from a worker thread the worker waits for it.
    void OnWindowThread(const std::function<void()>& show);
    // After a command: the counters say that it was stopped, when it was.
    void ShowOutcome(const Outcome& outcome);
    void RunImport();
    void RunExport();
    void SaveSkeleton();
    void ShowLog();
    void OpenManual();
    void WebUpdate();
    template <class Dialog> void RunDialog();
    void RunReprint();
    void VerifyMarkedJob();

    AppState& m_state;
    Session m_session;
    bool m_webUpdateAvailable = false;
    bool m_runUpdater = false; // the web update was requested: it starts when the window closes

    // Controls
    QLineEdit* txtSrcFile = nullptr;
    QToolButton* btnSrcFile = nullptr;
    QPushButton* btnImport = nullptr;
    QToolButton* btnImpInfo = nullptr;
    QLabel* labTotalPgs = nullptr;
    QLabel* labPgs = nullptr; // "Seiten", or "Seiten, Duplex" after importing a duplex job
    QLabel* labTotalAdr = nullptr;
    QLineEdit* txtDstFile = nullptr;
    QToolButton* btnDstFile = nullptr;
    NumEdit* txtExpAdr = nullptr;
    QLabel* labExpTotal = nullptr;
    QPushButton* btnExport = nullptr;
    QLabel* labExportBad = nullptr; // the last export failed its check
    QLabel* imgStatus = nullptr;
    QLabel* labStatus = nullptr;
    QLabel* labHint = nullptr; // why the next step is not offered, beside the status text
    QLabel* labStatAct = nullptr;
    QLabel* labStatVon = nullptr;
    QLabel* labStatCnt = nullptr;
    QProgressBar* pbMain = nullptr;
    QPushButton* btnCancel = nullptr; // "Abbrechen", shown while a command runs

    // Menu items with a rule or a check mark
    QAction* actionImport = nullptr;
    QAction* actionImportStatus = nullptr;
    QAction* actionPageText = nullptr;
    QAction* actionUseLog = nullptr;
    QAction* actionShowLog = nullptr;
    QAction* actionExport = nullptr;
    QAction* actionReprint = nullptr;
    QAction* actionSaveSkeleton = nullptr;
    QAction* actionWebUpdate = nullptr;
    std::vector<QAction*> m_shortcutActions;
    std::vector<QAction*> m_waitingActions; // disabled while a command runs

    // Status line: while busy, the figures are shown at the repaint points only (the timer's,
    // when the command runs on a worker thread, which sets them).
    std::atomic<std::int64_t> m_total = 0;
    std::atomic<std::int64_t> m_current = 0;
    std::atomic<double> m_progressMax = 0;
    std::atomic<double> m_progressValue = 0;
    QElapsedTimer m_lastRepaint;
    QTimer* m_repaintTimer = nullptr;

    QString m_notice; // shown in the status line while nothing stands in the way of the next step
    bool m_busy = false;
    std::atomic<bool> m_cancel = false; // the user asked the running command to stop
    bool m_running = false;   // a command runs; no other may start, the window may not close
    bool m_importing = false; // the export count field follows the running import
    bool m_closed = false;
};

} // namespace kuvrion
