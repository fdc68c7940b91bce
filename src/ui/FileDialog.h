// The program's file dialogs. A request carries the title, the filters (Qt form, "Name (*.ext)"),
// the 1-based filter index to start with, the proposed file name and the rules; the result is the
// chosen path with the filter index in use, or nothing when the user cancelled.
// Tests set the next result (SetNextFileName / SetNextCancel): the next Run returns it at once
// without showing a dialog and remembers the request (LastRequest).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace kuvrion {

struct FileDialogRequest {
    QString title;
    QStringList filters;
    int filterIndex = 1;
    QString fileName;              // proposed file (its folder is where the dialog starts)
    QString directory;             // where the dialog starts when no file is proposed
    QString defaultSuffix;         // added when the typed name has none
    bool save = false;             // save dialog or open dialog
    bool confirmOverwrite = false; // a save dialog asks before it names an existing file
    bool mustExist = false;
};

// "PCL-Dateien (*.pcl)" and "Alle Dateien (*)", the filters of the dialogs for print jobs.
QStringList PclFileFilters();

struct FileDialogResult {
    QString path;
    int filterIndex = 1;
};

class FileDialog {
public:
    static std::optional<FileDialogResult> Run(QWidget* parent, const FileDialogRequest& request);

    // `filterIndex` 0 keeps the index of the request.
    static void SetNextFileName(const QString& path, int filterIndex = 0);
    static void SetNextCancel();
    static const FileDialogRequest& LastRequest();
};

} // namespace kuvrion
