// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileDialogs.h"

class QWidget;

// The file dialogs of the windowing system, owned by a window.
class GuiFileDialogs : public FileDialogs
{
public:
    explicit GuiFileDialogs(QWidget *owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget *owner) { m_owner = owner; }

protected:
    SaveChoice askSaveFile(const QString &title, const QString &folder, const QString &fileName,
                           const QString &filter, const QString &defaultSuffix) override;

private:
    QWidget *m_owner;
};
