// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileDialogs.h"

// The save dialog answered from the command line: the --output path, with the file type
// its extension names (a ".csv" file is comma separated, as the dialog's choice makes it).
class OutputFileDialogs : public FileDialogs
{
public:
    explicit OutputFileDialogs(const QString &path) : m_path(path) {}
    void setPath(const QString &path) { m_path = path; }

protected:
    SaveChoice askSaveFile(const QString &title, const QString &folder, const QString &fileName,
                           const QString &filter, const QString &defaultSuffix) override;

private:
    QString m_path;
};
