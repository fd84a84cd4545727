// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplayPoll.h"

#include "common/NumberFormat.h"
#include "common/NumericText.h"
#include "link/InstrumentModel.h"
#include "link/SensorLink.h"
#include "platform/ProgramTitle.h"
#include "platform/UserPrompts.h"

#include <limits>
#include <utility>

namespace {

// The units lines the instrument reports, in the order of the units options.
const QString UnitsLines[] = {QStringLiteral("Units: umol.m-2.s-1"), QStringLiteral("Units: W.m-2"),
                              QStringLiteral("Units: klux")};
constexpr int MolarIndex = 0;
constexpr int IlluminanceIndex = 2;

int unitsIndexOf(const QString &units)
{
    for (int i = 0; i < 3; ++i) {
        if (units == UnitsLines[i])
            return i;
    }
    return -1;
}

} // namespace

DisplayPoll::DisplayPoll(SensorLink &link, UserPrompts &prompts) : m_link(link), m_prompts(prompts)
{
    m_lostWatch = QObject::connect(&link, &SensorLink::portLost, [this] { showLostPort(); });
}

DisplayPoll::~DisplayPoll()
{
    QObject::disconnect(m_lostWatch);
}

// ---------------------------------------------------------------------------------------
// Ports

void DisplayPoll::searchPorts(int maxPort, std::function<void(const QStringList &)> found)
{
    clearUnits();
    m_searchedNoPort = maxPort < 1;
    view().setStatusText(QStringLiteral("Finding serial ports"));
    m_link.requestPortSearch(true, maxPort,
                             guarded([this, found = std::move(found)](const QStringList &ports) {
                                 found(ports);
                                 openFoundPort();
                             }));
}

void DisplayPoll::openFoundPort()
{
    const int position = m_link.CommDefault();
    if (position < 1) {
        // A port that is there but may not be opened is most likely the instrument's: the
        // remedy is worth more than "no port".
        const auto &denied = m_link.deniedPorts();
        m_searchStatus = QStringLiteral("VTA1 not found - ") +
                         (m_searchedNoPort   ? QStringLiteral("no serial port searched (/P)")
                          : denied.isEmpty() ? QStringLiteral("no serial port selected")
                                             : denied.first());
        view().setStatusText(m_searchStatus);
        return;
    }
    const QStringList ports = m_link.foundPorts();
    if (position <= ports.size())
        choosePort(ports.at(position - 1));
}

void DisplayPoll::choosePort(const QString &caption)
{
    int number = 0;
    if (caption.contains(QLatin1String("COM"))) {
        const auto parsed = ToInt16(NumericValue(caption.mid(3)));
        if (parsed)
            number = *parsed;
        else
            m_prompts.message(ProgramTitle, QStringLiteral("SetCommPort Error: Overflow"));
    }
    m_searchStatus.clear();
    m_link.setCommPort(number);
    number = m_link.CommPort();
    view().checkPort(number);
    if (number != 0) {
        showFields({});
        clearUnits();
        // The next tick sees the empty version and reads the status again.
        m_link.requestStatus({});
    }
}

// ---------------------------------------------------------------------------------------
// The poll

void DisplayPoll::tick()
{
    // A tick that falls due while exchanges still run (the last tick's, a units change,
    // the status read of a port just chosen) is not queued behind them: ticks that pile up
    // make one, run as soon as the link is free.
    if (!m_link.requestsIdle()) {
        if (!std::exchange(m_tickDue, true)) {
            m_link.whenRequestsIdle(guarded([this] {
                if (std::exchange(m_tickDue, false))
                    tick();
            }));
        }
        return;
    }
    if (m_link.CommPort() == 0 && m_link.reopenLostPort())
        view().checkPort(m_link.CommPort());
    if (m_link.CommPort() != 0)
        m_searchStatus.clear();
    const int port = m_link.CommPort();
    if (port != 0 && m_link.Connected()) {
        pollConnected();
    } else if (port != 0) {
        pollReconnecting();
    } else {
        pollWithoutPort();
        endTick();
    }
}

void DisplayPoll::endTick()
{
    m_connectedLastTick = m_link.Connected();
    if (m_ticksSinceStatus < std::numeric_limits<qint16>::max())
        ++m_ticksSinceStatus;
    view().setStatusText(m_searchStatus.isEmpty() ? m_link.Status() : m_searchStatus);
}

void DisplayPoll::pollConnected()
{
    showActivity(m_sensorShown, true);
    view().paintNow();

    if (m_fields.version.isEmpty() || m_ticksSinceStatus >= StatusEveryTicks ||
        !m_connectedLastTick) {
        m_ticksSinceStatus = 0;
        m_link.requestStatus(guarded([this](bool read) {
            if (read) {
                showReportedUnits();
                view().setStatusText(m_link.Status());
                showInstrumentLines();
            }
            showActivity(true, false);
            endTick();
        }));
        return;
    }
    m_link.requestReadings(guarded([this](bool read) {
        if (read)
            showReadings();
        showActivity(true, false);
        endTick();
    }));
}

void DisplayPoll::pollReconnecting()
{
    showActivity(false, true);
    view().paintNow();

    m_link.requestConnect(guarded([this](bool) {
        showActivity(m_link.Connected(), true);
        clearUnits();
        showInstrumentLines();
        showCaption(m_link.units());
        showReadings();
        showActivity(m_sensorShown, false);
        endTick();
    }));
}

void DisplayPoll::pollWithoutPort()
{
    showActivity(false, false);
    clearUnits();
    // The log status too: the link has cleared it with the port, and the logger menu
    // must not stay offered for an instrument that is no longer there.
    showInstrumentLines();
    showCaption(m_link.units());
    showReadings();
    // A port that closed itself (device unplugged) no longer carries the check mark.
    view().checkPort(0);
}

void DisplayPoll::showLostPort()
{
    if (!m_view)
        return;
    pollWithoutPort();
    m_connectedLastTick = false;
    view().setStatusText(m_link.Status());
}

void DisplayPoll::readStatusNextTick()
{
    m_fields.version.clear();
    view().showFields(m_fields);
}

// ---------------------------------------------------------------------------------------
// What the window shows

void DisplayPoll::showFields(const InstrumentFields &fields)
{
    m_fields = fields;
    view().showFields(m_fields);
}

void DisplayPoll::showInstrumentLines()
{
    showFields({m_link.Version(), m_link.Power(), m_link.LogStatus()});
    showLoggerMenuByLogStatus();
}

void DisplayPoll::showLoggerMenuByLogStatus()
{
    view().setLoggerMenuVisible(m_link.LogStatus().size() >= 2 && view().loggerFlag());
}

void DisplayPoll::showCaption(const QString &units)
{
    view().showReadingCaption(QStringLiteral("Reading ") + units);
}

void DisplayPoll::showReadings()
{
    const QString pattern =
        m_selectedUnits == IlluminanceIndex ? QStringLiteral("##0.00") : QStringLiteral("###0.0");
    // Nothing measured yet (a new connection) shows blanks, not zeros.
    if (m_link.Connected() && m_link.hasReadings())
        view().showReadings(FormatNumber(m_link.Total(), pattern),
                            FormatNumber(m_link.Diffuse(), pattern), m_link.Sun());
    else
        view().clearReadings();
}

void DisplayPoll::showUnitsChoice(int selected, bool bold)
{
    m_selectedUnits = selected;
    view().showUnitsChoice(selected, bold);
}

void DisplayPoll::showActivity(bool sensorFound, bool exchanging)
{
    m_sensorShown = sensorFound;
    view().showActivity(sensorFound, exchanging);
}

void DisplayPoll::showReportedUnits()
{
    const QString units = m_link.units();
    showCaption(units);
    const int index = unitsIndexOf(units);
    if (index >= 0) {
        showUnitsChoice(index, true);
        return;
    }
    const auto fixed = FixedUnitsOf(m_link.Version());
    if (fixed && fixed->unitsIndex == MolarIndex) {
        // Fixed molar units (the ZQ2): umol.m-2.s-1, whatever the units line says.
        showCaption(UnitsLines[MolarIndex]);
        showUnitsChoice(MolarIndex, false);
        return;
    }
    clearUnits();
    view().setStatusText(QStringLiteral("Unrecognised units"));
}

// ---------------------------------------------------------------------------------------
// Units

void DisplayPoll::chooseUnits(int index)
{
    if (index < 0 || index > 2)
        return;
    if (const auto fixed = FixedUnitsOf(m_link.Version())) {
        view().setStatusText(QStringLiteral("You cannot change units on a ") + fixed->model +
                             QStringLiteral("!"));
        showUnitsChoice(fixed->unitsIndex, false);
        return;
    }

    // Queued behind a poll that runs: the click is carried out right after it.
    m_link.requestUnits(index,
                        guarded([this, index](bool accepted) { unitsSent(index, accepted); }));
}

void DisplayPoll::unitsSent(int index, bool accepted)
{
    // The units are read back in any case, so that a change the instrument did not
    // confirm never shows readings under units they are not in; why the change failed
    // is shown over the status the read-back leaves.
    const QString failure = accepted ? QString() : m_link.Status();
    m_link.requestStatus(guarded([this, index, accepted, failure](bool read) {
        if (m_link.CommPort() >= 1 && accepted && read) {
            showCaption(m_link.units());
            showUnitsChoice(index, true);
            return;
        }
        showReportedUnits();
        view().setStatusText(failure.isEmpty() ? m_link.Status() : failure);
    }));
}
