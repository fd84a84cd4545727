#pragma once

#include <QtGlobal>

// When readings are taken and averaging periods end, as times of day in seconds after
// midnight (single precision, 0 to under 86400). Readings fall on whole multiples of the
// log period counted from midnight, averaging periods end on whole multiples of the
// averaging period, and a reading is due from half a second before its time.
class LoggingSchedule
{
public:
    // Aligns the schedule to the clock at time of day t: the first reading and the end of
    // the first averaging period are the next multiples of their periods after t (rounded
    // to a whole second). Both periods must be positive.
    void start(qint16 logInterval, qint16 avgInterval, float t);
    // Recomputes both times from the time of day t, keeping the periods.
    void realign(float t);

    // The next reading is due at t (from half a second before its time on).
    bool readingDue(float t) const;
    // More than five log periods behind at t: the schedule must be realigned.
    bool farBehind(float t) const;
    // The next reading further ahead of t than one log period (and the second its start
    // may round by): the clock was set back, and waiting for that time would take no
    // reading for as long as it was set back. The schedule must be realigned.
    bool farAhead(float t) const;
    // The averaging period ends at or before the reading just taken.
    bool periodEnded() const;
    void nextPeriod();
    void nextReading();

    // The timer interval that keeps readings within one interval of their time.
    static int timerIntervalMs(qint16 logInterval) { return logInterval > 1 ? 1000 : 500; }

    qint16 LogInterval = 0;
    qint16 AvgInterval = 0;
    float NextLogTime = 0;
    float NextAvgTime = 0;
};

// The next whole multiple of `interval` seconds after time of day t (rounded to a whole
// second), brought back into the day. A period of no seconds has no multiples: t itself.
float NextMultiple(float t, qint16 interval);
