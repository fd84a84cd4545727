#pragma once

#include <QString>

// The system's file dialogs, behind a seam so that tests can answer them.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;

    // Asks for the name of a file to write. `filter` lists the choices as
    // "Text files (*.txt);;Comma separated (*.csv)"; `defaultSuffix` ("txt") is added to a
    // name typed without one; `fileName` is offered first (a full path wins over
    // `folder`, and an empty folder leaves the dialog in its own default). The user is
    // asked before an existing file is replaced. Returns the chosen full path, or empty
    // text when the user cancelled.
    virtual QString saveFileName(const QString &title, const QString &folder,
                                 const QString &fileName, const QString &filter,
                                 const QString &defaultSuffix) = 0;
};

// The user's documents folder, or empty text when the system has none.
QString DocumentsFolder();
