// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/JournalState.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

QString JournalStatePath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".mqtt");
}

std::optional<JournalPosition> ReadJournalPosition(const QString &statePath, QString &error)
{
    error.clear();
    QFile file(statePath);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    const QJsonObject object = QJsonDocument::fromJson(file.read(64 * 1024)).object();
    const QJsonValue offset = object.value(QStringLiteral("offset"));
    const QJsonValue firstLine = object.value(QStringLiteral("first_line"));
    if (!offset.isDouble() || offset.toDouble() < 0 || !firstLine.isString()) {
        error = QStringLiteral("it holds no position");
        return std::nullopt;
    }
    return JournalPosition{qint64(offset.toDouble()), firstLine.toString()};
}

bool WriteJournalPosition(const QString &statePath, const JournalPosition &position, QString &error)
{
    QSaveFile file(statePath);
    QJsonObject object;
    object.insert(QStringLiteral("offset"), double(position.offset));
    object.insert(QStringLiteral("first_line"), position.firstLine);
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
