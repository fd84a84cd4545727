// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QMenu;

// The serial-port menu: item 0 "None", then one item per port the link found. An item's
// caption is the link's port name ("COM 3"), kept in the item's data; the text shown
// adds the device that number stands for, so the user can tell the ports apart.
// Exactly one item carries the check mark: the open port, or "None".
class PortMenu : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *NoneCaption = "None";

    explicit PortMenu(QMenu &menu, QObject *parent = nullptr);

    // Room for the device name in an item, in average characters.
    static constexpr int DeviceChars = 60;

    // Adds an item for port `caption` ("COM n"), showing `device` beside it when known
    // (a long one cut in its middle) and, in brackets, why it could not be opened when it
    // could not; an item that is not `choosable` is greyed.
    void addPort(const QString &caption, const QString &device, const QString &why = QString(),
                 bool choosable = true);

    int count() const { return static_cast<int>(m_items.size()); }
    QAction *item(int index) const { return m_items.value(index); }
    // The caption of item `index`: "None" or the link's port name.
    QString caption(int index) const;
    // Index of the item that carries the check mark, -1 when none does.
    int checkedIndex() const;

    // Puts the check mark on exactly the items whose port number (the caption after its
    // first four characters, so "None" stands for 0) equals `portNumber`.
    void checkPort(int portNumber);
    // Puts the check mark on item `index` only.
    void checkItem(int index);

signals:
    // The user chose item `index`.
    void chosen(int index);

private:
    QAction *addItem(const QString &caption, const QString &text);

    QMenu &m_menu;
    QList<QAction *> m_items;
};
