#pragma once

#include <qcustomplot.h>

#include <vector>

// The sun flag (or the sunshine fraction of averaged records) as a shaded band behind
// the curves: each record holds its value until the next one (before a gap, for as long
// as the record before it), and each pixel column of the plot is shaded as deep as the
// mean value over its time: the graph's full brush colour for sunshine throughout,
// paler for less, none without.
//
// A filled step graph would draw a polygon with a corner for every change of the flag,
// a tenth of a second over a year of records. The band instead keeps the running total
// of sunshine at each record, so that a column's mean takes two binary searches however
// many records it spans, and draws a rectangle per run of equally shaded columns. Records
// added at the end (a followed file) extend the totals without going over the others.
class SunBand : public QCPGraph
{
    Q_OBJECT

public:
    SunBand(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // With several files' bands, each takes a horizontal stripe of the plot (0 the top),
    // so that overlapping days of different files stay apart.
    void setStripe(int stripe, int stripes);

protected:
    void draw(QCPPainter *painter) override;

private:
    // The sunshine from the first record to `key`, in value times seconds.
    double sunshineUntil(double key);
    void updateRunningTotals();

    std::vector<double> m_before; // the sunshine before each record
    std::vector<double> m_holds;  // how long each record's value holds
    int m_stripe = 0;
    int m_stripes = 1;
};
