#include "FileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

namespace kuvrion {

QStringList PclFileFilters()
{
    return {QStringLiteral("PCL-Dateien (*.pcl)"), QStringLiteral("Alle Dateien (*)")};
}

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

// The file list's size and date columns in German whatever the system's locale, since the
// file system model formats them with the system locale and the program speaks German only.
class GermanColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale german(QLocale::German, QLocale::Germany);
        if (index.column() == 1 && !files->isDir(source))
            return german.formattedDataSize(files->size(source), 1,
                                            QLocale::DataSizeTraditionalFormat);
        if (index.column() == 3)
            return german.toString(files->lastModified(source), QStringLiteral("dd.MM.yyyy HH:mm"));
        return QIdentityProxyModel::data(index, role);
    }
};

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
    dialog.setProxyModel(new GermanColumns(&dialog));
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
    // The name takes the free width; size, type and date are shown in full.
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = list->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
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
