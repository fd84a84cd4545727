#include "Instrument.h"

Instrument::Instrument(const Clock &clock, const InstrumentOptions &options)
    : m_clock(clock),
      m_state(options.model,
              options.identity.value_or(InstrumentIdentity::defaultFor(options.model))),
      m_sky(options.skyOffsetSeconds), m_scheduler(options.latencySeconds), m_replies(m_state),
      m_faults(options.faults)
{}

SkyReading Instrument::readingNow() const
{
    return m_sky.at(m_clock.now());
}

QList<SimReply> Instrument::receive(const QByteArray &bytes)
{
    // A silent instrument is a dead one: it does not even listen.
    if (m_faults.silent)
        return {};
    m_parser.append(bytes);
    QByteArray reply;
    while (const auto command = m_parser.next(m_state.mode()))
        reply += execute(*command);
    return m_scheduler.schedule(reply, m_faults);
}

QByteArray Instrument::execute(const SimCommand &command)
{
    using Kind = SimCommand::Kind;
    switch (command.kind) {
    case Kind::Return:
        m_state.setMode(SimMode::Prompt);
        return m_replies.prompt(m_faults.badPrompt);
    case Kind::Identify:
        return m_replies.identification();
    case Kind::Readings:
        return m_replies.readings(readingNow());
    case Kind::EnterTest:
        m_state.setMode(SimMode::Test);
        return m_replies.testModeEntered();
    case Kind::SelectUnits: {
        const int code = command.text.at(1) - '0';
        return m_replies.unitsAnswer(command.text, m_state.selectUnits(code));
    }
    case Kind::SensorCounts:
        return m_replies.sensorCounts(readingNow());
    case Kind::Temperatures:
        return m_replies.temperatures(readingNow());
    case Kind::CalibrationDump:
        return m_replies.calibrationDump();
    case Kind::Details:
        return m_replies.details();
    case Kind::SunshineRatio:
        return m_replies.sunshineRatio();
    case Kind::Unknown:
        return m_replies.unknown(command.text);
    }
    return QByteArray();
}
