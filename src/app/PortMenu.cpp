// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PortMenu.h"

#include "common/NumericText.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>

namespace {

// A menu text shows "&" as a mnemonic marker; a device name is shown as it stands.
QString literalMenuText(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

int portNumberOf(const QString &caption)
{
    return ToInt16(NumericValue(caption.mid(4))).value_or(0);
}

} // namespace

PortMenu::PortMenu(QMenu &menu, QObject *parent) : QObject(parent), m_menu(menu)
{
    m_menu.setToolTipsVisible(true);
    addItem(QString::fromLatin1(NoneCaption), QString::fromLatin1(NoneCaption));
    checkItem(0);
}

void PortMenu::addPort(const QString &caption, const QString &device, const QString &why,
                       bool choosable)
{
    // A long device name (a by-id link) is cut in its middle, where its two ends, the
    // maker and the serial number, stay readable; the reason stays whole.
    const QFontMetrics metrics(m_menu.font());
    const QString shownDevice =
        metrics.elidedText(device, Qt::ElideMiddle, metrics.averageCharWidth() * DeviceChars);
    QString text = literalMenuText(caption);
    if (!device.isEmpty())
        text += QLatin1Char('\t') + literalMenuText(shownDevice);
    QString tip = device.isEmpty() ? caption : caption + QLatin1String(": ") + device;
    if (!why.isEmpty()) {
        text += (device.isEmpty() ? QLatin1String("\t(") : QLatin1String(" (")) +
                literalMenuText(why) + QLatin1Char(')');
        tip += QLatin1Char('\n') + why;
    }
    QAction *action = addItem(caption, text);
    action->setToolTip(tip);
    action->setEnabled(choosable);
}

QString PortMenu::caption(int index) const
{
    const QAction *action = item(index);
    return action ? action->data().toString() : QString();
}

int PortMenu::checkedIndex() const
{
    for (int i = 0; i < count(); ++i) {
        if (m_items.at(i)->isChecked())
            return i;
    }
    return -1;
}

void PortMenu::checkPort(int portNumber)
{
    for (int i = 0; i < count(); ++i)
        m_items.at(i)->setChecked(portNumberOf(caption(i)) == portNumber);
}

void PortMenu::checkItem(int index)
{
    for (int i = 0; i < count(); ++i)
        m_items.at(i)->setChecked(i == index);
}

QAction *PortMenu::addItem(const QString &caption, const QString &text)
{
    auto *action = m_menu.addAction(text);
    action->setData(caption);
    action->setCheckable(true);
    const int index = count();
    // A click toggles the item's own mark; the handler then sets every mark from the
    // port actually opened.
    connect(action, &QAction::triggered, this, [this, index] { emit chosen(index); });
    m_items.append(action);
    return action;
}
