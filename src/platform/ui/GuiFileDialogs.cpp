#include "platform/ui/GuiFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString GuiFileDialogs::saveFileName(const QString &title, const QString &folder,
                                     const QString &fileName, const QString &filter,
                                     const QString &defaultSuffix)
{
    QFileDialog dialog(m_owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(defaultSuffix);
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    if (!fileName.isEmpty()) {
        const QFileInfo offered(fileName);
        if (offered.isAbsolute() && offered.dir().exists())
            dialog.setDirectory(offered.dir());
        dialog.selectFile(offered.fileName());
        // Start on the choice that matches the name offered, so its form shows at once.
        for (const QString &nameFilter : dialog.nameFilters()) {
            if (nameFilter.contains(QStringLiteral("*.") + offered.suffix()) &&
                !offered.suffix().isEmpty())
                dialog.selectNameFilter(nameFilter);
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen.first());
}
