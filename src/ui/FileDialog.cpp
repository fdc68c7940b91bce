#include "FileDialog.h"

#include <QFileDialog>

namespace kuvrion {

namespace {

// Test-hook state; only tests change it.
struct Hook {
    bool armed = false;
    std::optional<FileDialogResult> next;
    FileDialogRequest last;
};

Hook& TheHook()
{
    static Hook hook;
    return hook;
}

} // namespace

std::optional<FileDialogResult> FileDialog::Run(QWidget* parent, const FileDialogRequest& request)
{
    Hook& hook = TheHook();
    hook.last = request;
    if (hook.armed) {
        hook.armed = false;
        auto result = std::exchange(hook.next, std::nullopt);
        if (result && result->filterIndex == 0)
            result->filterIndex = request.filterIndex;
        return result;
    }

    QFileDialog dialog(parent, request.title);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    // Wide enough for the name, size, type and date columns.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(820, 480)));
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    dialog.setNameFilters(request.filters);
    const int index = request.filterIndex;
    if (index >= 1 && index <= request.filters.size())
        dialog.selectNameFilter(request.filters.at(index - 1));
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const int used = static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter())) + 1;
    return FileDialogResult{dialog.selectedFiles().constFirst(), used > 0 ? used : index};
}

void FileDialog::SetNextFileName(const QString& path, int filterIndex)
{
    TheHook().armed = true;
    TheHook().next = FileDialogResult{path, filterIndex};
}

void FileDialog::SetNextCancel()
{
    TheHook().armed = true;
    TheHook().next.reset();
}

const FileDialogRequest& FileDialog::LastRequest()
{
    return TheHook().last;
}

} // namespace kuvrion
