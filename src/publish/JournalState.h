// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Where publishing of a journal stands, kept in a small file beside it (FILE.mqtt): the
// byte offset just after the last line the broker acknowledged, and the journal's first
// line, which names the model and the moment the file was made, so that a position is
// never applied to another file of the same name.
struct JournalPosition
{
    qint64 offset = 0;
    QString firstLine;
};

QString JournalStatePath(const QString &journalPath);

// The saved position; empty when there is no state file or it cannot be read (`error`
// then says why, and stays empty for a file that is simply not there).
std::optional<JournalPosition> ReadJournalPosition(const QString &statePath, QString &error);

// Replaces the state file as a whole (written beside it, then renamed), so that a crash
// leaves the old position or the new one, never a torn file.
bool WriteJournalPosition(const QString &statePath, const JournalPosition &position,
                          QString &error);
