// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The system's file dialogs, behind a seam so that tests can answer them.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;

    // What the user chose in a save dialog: the full path (empty text: cancelled) and the
    // file type that was selected, one entry of the filter ("Comma separated (*.csv)").
    struct SaveChoice
    {
        QString path;
        QString type;
    };

    // Asks for the name of a file to write. `filter` lists the choices as
    // "Text files (*.txt);;Comma separated (*.csv)"; `fileName` is offered first (a full
    // path wins over `folder`, and an empty folder leaves the dialog in its own default).
    // The user is asked before an existing file is replaced. Returns the chosen full
    // path, with the chosen type's extension added to a new name typed without one
    // (`defaultSuffix`, "txt", for a type that names none), or empty text when the user
    // cancelled. The separator of the files written follows that extension.
    QString saveFileName(const QString &title, const QString &folder, const QString &fileName,
                         const QString &filter, const QString &defaultSuffix);

protected:
    // The dialog itself: the path as the user gave it, and the type selected.
    virtual SaveChoice askSaveFile(const QString &title, const QString &folder,
                                   const QString &fileName, const QString &filter,
                                   const QString &defaultSuffix) = 0;
};

// The extension of a file type ("csv" for "Comma separated (*.csv)"), or empty text
// when the type names none.
QString FileTypeSuffix(const QString &type);

// `path` with `suffix` added after a point when its file name has no point at all, as the
// dialog does; a name that is already there (a device, or a file the user agreed to
// replace) is kept as it is.
QString WithSuffix(const QString &path, const QString &suffix);

// The user's documents folder, or empty text when the system has none.
QString DocumentsFolder();
