// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Where a download of quorvel-cli puts its records so that no night overwrites or
// repeats another's. The transfer writes into FILE.part, which becomes FILE only when the
// download ended well; an existing FILE is never replaced: the new records are added at
// its end. A FILE.part found at the start (a night that failed) is continued: the
// transfer then writes into FILE.part.new, and only the records after those already in
// FILE.part are added to it. Records already in a file (the same line, as a download of
// the same memory writes it) at the start of what is added are left out, so a file holds
// every record once.
class DownloadTarget
{
public:
    explicit DownloadTarget(const QString &path);

    const QString &path() const { return m_path; }
    QString partPath() const { return m_path + QStringLiteral(".part"); }
    // The file the transfer writes (made afresh).
    QString transferPath() const;
    // True when a failed night's FILE.part is being continued.
    bool continuesPart() const { return m_continues; }

    // Before the transfer: an existing FILE and FILE.part must be datasets of this
    // instrument (`firstLine` up to "Data file" and `secondLine` the same). False, with
    // the reason naming the file, when one is not: nothing may be written then.
    bool check(const QString &firstLine, const QString &secondLine, QString &error);

    // After a transfer that ended well: its records go into FILE (renamed from FILE.part,
    // or added at the end of FILE). `skipped` counts the records left out as already
    // there. False, with the reason, when a file could not be written: FILE.part then
    // keeps every record.
    bool finish(int &skipped, QString &error);
    // After a transfer that failed: what it wrote is kept in FILE.part for the next run.
    bool keep(int &skipped, QString &error);

    // Adds the records of the dataset file `from` (without its two heading lines) to the
    // end of the dataset file `to`, leaving out those at its start that `to` already
    // holds. False, with the reason, when `to` could not be written.
    static bool appendRecords(const QString &from, const QString &to, int &added, int &skipped,
                              QString &error);

private:
    bool mergeTransfer(int &skipped, QString &error);

    QString m_path;
    bool m_continues = false;
};
