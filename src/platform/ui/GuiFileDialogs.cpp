// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/GuiFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

FileDialogs::SaveChoice GuiFileDialogs::askSaveFile(const QString &title, const QString &folder,
                                                    const QString &fileName, const QString &filter,
                                                    const QString &defaultSuffix)
{
    QFileDialog dialog(m_owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    // The extension added to a name typed without one is the selected type's, so that
    // the question before replacing a file asks about the file that will be written.
    const auto followType = [&dialog, defaultSuffix](const QString &type) {
        const QString suffix = FileTypeSuffix(type);
        dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followType);
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
    followType(dialog.selectedNameFilter());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return {};
    return {QDir::toNativeSeparators(chosen.first()), dialog.selectedNameFilter()};
}
