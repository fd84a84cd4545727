// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QHash>
#include <QString>
#include <qcustomplot.h>

// The time axis's ticks: a step and a label format chosen from the visible span and the
// axis's width, so that labels never overlap or repeat. Seconds when the plot spans a
// minute, minutes and hours within a day, the date with the time over a few days, days over
// weeks, months over a year, years beyond. Ticks sit on round times of the wall clock
// (taken as UTC, as the window shows every time): whole minutes, hours, midnights, the
// first of a month, the first of January.
class TimeTicker : public QCPAxisTicker
{
public:
    explicit TimeTicker(QCPAxis *axis);

    // The date of a span within a day, for the axis label (the ticks then show times only);
    // empty when the span crosses midnight.
    static QString SingleDay(const QCPRange &range);

protected:
    double getTickStep(const QCPRange &range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar,
                         int precision) override;
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override;

private:
    enum class Unit { Second, Day, Month, Year };
    struct Step
    {
        Unit unit;
        int count; // of seconds, days, months or years
        int subTicks;
    };

    // The widest label of a format in the axis's font, in pixels.
    int labelWidth(const QString &format) const;
    QString formatFor(const Step &step, const QCPRange &range) const;

    QCPAxis *m_axis;
    Step m_step{Unit::Second, 3600, 3};
    QString m_format;
    mutable QFont m_measuredFont;
    mutable QHash<QString, int> m_widths; // of each format's widest label in that font
};
