// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortTable.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

// The digits of a run without their leading zeros ("007" -> "7", "0" -> "0").
QStringView significantDigits(QStringView run)
{
    qsizetype first = 0;
    while (first + 1 < run.size() && run.at(first) == QLatin1Char('0'))
        ++first;
    return run.mid(first);
}

// Orders paths as people read them: runs of digits compare by their value, so that
// /dev/ttyS2 comes before /dev/ttyS10.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (!a.at(i).isDigit() || !b.at(j).isDigit()) {
            if (a.at(i) != b.at(j))
                return a.at(i) < b.at(j);
            ++i;
            ++j;
            continue;
        }
        qsizetype endA = i;
        qsizetype endB = j;
        while (endA < a.size() && a.at(endA).isDigit())
            ++endA;
        while (endB < b.size() && b.at(endB).isDigit())
            ++endB;
        // Without leading zeros the longer run is the larger number.
        const QStringView valueA = significantDigits(QStringView(a).mid(i, endA - i));
        const QStringView valueB = significantDigits(QStringView(b).mid(j, endB - j));
        if (valueA.size() != valueB.size())
            return valueA.size() < valueB.size();
        if (valueA != valueB)
            return valueA < valueB;
        i = endA;
        j = endB;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    // Equal by value (ttyS01 and ttyS1): the plain order keeps the result a strict order.
    return a < b;
}

// "FTDI FT232R USB UART" from the maker and the product, without saying a word twice.
QString joinDescription(const QSerialPortInfo &info)
{
    const QString maker = info.manufacturer().trimmed();
    const QString product = info.description().trimmed();
    if (maker.isEmpty() || product.contains(maker, Qt::CaseInsensitive))
        return product;
    if (product.isEmpty() || maker.contains(product, Qt::CaseInsensitive))
        return maker;
    return maker + QLatin1Char(' ') + product;
}

} // namespace

PortTable::PortTable(Numbering numbering) : m_numbering(numbering)
{}

PortTable::Numbering PortTable::nativeNumbering()
{
#ifdef Q_OS_WIN
    return Numbering::ComNames;
#else
    return Numbering::DeviceList;
#endif
}

QList<PortTable::Device> PortTable::systemPorts()
{
    QList<Device> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.systemLocation(), joinDescription(info)});
    return withStableNames(ports, QStringLiteral("/dev/serial/by-id"));
}

QList<PortTable::Device> PortTable::withStableNames(QList<Device> ports, const QString &folder)
{
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (Device &port : ports) {
        const QString identity = identityOf(port.path);
        for (const QFileInfo &link : links) {
            if (link.isSymLink() && identityOf(link.filePath()) == identity) {
                port.path = link.filePath();
                break;
            }
        }
    }
    return ports;
}

int PortTable::addDevice(const QString &path, const QString &description)
{
    if (m_numbering == Numbering::ComNames) {
        const int number = comNumber(path);
        if (number > 0 && !description.isEmpty())
            m_comDescriptions.insert(number, description);
        return number;
    }
    if (path.isEmpty())
        return 0;
    const QString identity = identityOf(path);
    const int index = indexOf(identity);
    if (index >= 0)
        return index + 1;
    m_entries.append({path, identity, description});
    return static_cast<int>(m_entries.size());
}

void PortTable::addSystemPorts(const QList<Device> &ports)
{
    QList<Device> sorted = ports;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Device &a, const Device &b) { return naturalLess(a.path, b.path); });
    for (const Device &port : sorted) {
        if (m_numbering == Numbering::ComNames) {
            const int number = comNumber(port.path);
            if (number > 0 && !m_comDescriptions.contains(number))
                m_comDescriptions.insert(number, port.description);
            continue;
        }
        if (port.path.isEmpty())
            continue;
        const QString identity = identityOf(port.path);
        const int index = indexOf(identity);
        if (index < 0)
            m_entries.append({port.path, identity, port.description});
        else if (m_entries[index].description.isEmpty())
            m_entries[index].description = port.description;
    }
}

int PortTable::count() const
{
    if (m_numbering == Numbering::ComNames)
        return MaxComNumber;
    return static_cast<int>(m_entries.size());
}

QString PortTable::devicePath(int number) const
{
    if (number < 1 || number > count())
        return QString();
    if (m_numbering == Numbering::ComNames)
        return QStringLiteral("COM%1").arg(number);
    return m_entries.at(number - 1).path;
}

int PortTable::numberOf(const QString &path) const
{
    if (m_numbering == Numbering::ComNames)
        return comNumber(path);
    if (path.isEmpty())
        return 0;
    return indexOf(identityOf(path)) + 1;
}

QString PortTable::describe(int number) const
{
    const QString path = devicePath(number);
    if (path.isEmpty())
        return QString();
    const QString text = description(number);
    if (text.isEmpty())
        return path;
    return path + QStringLiteral(" \u2014 ") + text;
}

QString PortTable::description(int number) const
{
    if (devicePath(number).isEmpty())
        return QString();
    return m_numbering == Numbering::ComNames ? m_comDescriptions.value(number)
                                              : m_entries.at(number - 1).description;
}

QString PortTable::label(int number) const
{
    const QString path = devicePath(number);
    return QStringLiteral("COM ") + QString::number(number) +
           (path.isEmpty() ? QString() : QStringLiteral(" (") + path + QLatin1Char(')'));
}

QStringList PortTable::mapLines() const
{
    // On Windows every COM number stands for a device; the ones the system reported are
    // those worth listing.
    const QList<int> numbers =
        m_numbering == Numbering::ComNames ? m_comDescriptions.keys() : [this] {
            QList<int> all;
            for (int number = 1; number <= count(); ++number)
                all.append(number);
            return all;
        }();
    QStringList lines;
    for (const int number : numbers)
        lines.append(QStringLiteral("COM %1 = %2").arg(number).arg(describe(number)));
    return lines;
}

QString PortTable::identityOf(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

int PortTable::comNumber(const QString &path)
{
    // "COM7", also written "\\.\COM7".
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(?:\\\\\.\\)?COM([1-9][0-9]{0,2})$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(path);
    if (!match.hasMatch())
        return 0;
    const int number = match.captured(1).toInt();
    return number <= MaxComNumber ? number : 0;
}

int PortTable::indexOf(const QString &identity) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).identity == identity)
            return static_cast<int>(i);
    }
    return -1;
}
