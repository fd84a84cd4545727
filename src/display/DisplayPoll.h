// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DisplayView.h"
#include "link/Lifetime.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>

class SensorLink;
class UserPrompts;

// The main window's dealings with the instrument: the port search at start-up, the
// choice of a port, the poll every 2 s while the main window holds the instrument (the
// readings, and the full status on the first tick after a connection or a new port and
// then every tenth tick), the reconnection of a silent instrument, and the reading units.
// It keeps what the window shows and shows it through a DisplayView.
class DisplayPoll
{
public:
    // Ticks between two full status requests.
    static constexpr int StatusEveryTicks = 10;

    DisplayPoll(SensorLink &link, UserPrompts &prompts);
    ~DisplayPoll();
    DisplayPoll(const DisplayPoll &) = delete;
    DisplayPoll &operator=(const DisplayPoll &) = delete;

    // The window the poll shows its state in; set before any other call.
    void setView(DisplayView &view) { m_view = &view; }

    // Start-up: searches ports 1..maxPort for an instrument through the link's queue;
    // `found` hears the ports that exist ("COM n"), for the port menu, and then the port
    // where one answered is opened.
    void searchPorts(int maxPort, std::function<void(const QStringList &ports)> found);
    // Opens the port of a menu caption ("COM n"; "None" closes the port), clears the
    // instrument lines and reads the full status.
    void choosePort(const QString &caption);

    // One tick of the poll: queues its exchanges; what they read is shown when they end.
    void tick();

    // The user chose units option `index` (0 umol.m-2.s-1, 1 W.m-2, 2 klux).
    void chooseUnits(int index);

    // Another window had the instrument: the next tick reads the full status again (the
    // version line is cleared until then).
    void readStatusNextTick();

private:
    DisplayView &view() { return *m_view; }
    // After the search: opens the port where an instrument answered.
    void openFoundPort();
    // `call` made safe to run after the poll has gone: the link may end an exchange the
    // poll queued after the window closed.
    template <typename F> auto guarded(F call) { return m_lifetime.guard(std::move(call)); }

    void pollConnected();
    void pollReconnecting();
    void pollWithoutPort();
    // The instrument's answer to a units change came (or did not): the units are read back.
    void unitsSent(int index, bool accepted);
    // What every tick does when its exchanges have ended.
    void endTick();
    // The port's device went away between two ticks: shown at once, as a tick would.
    void showLostPort();

    void showFields(const InstrumentFields &fields);
    void showInstrumentLines();
    void showLoggerMenuByLogStatus();
    void showCaption(const QString &units);
    void showReadings();
    void showUnitsChoice(int selected, bool bold);
    void showActivity(bool sensorFound, bool exchanging);
    void clearUnits() { showUnitsChoice(-1, false); }
    // Chooses the option of the units the link reports (the fixed ones of a ZQ2).
    void showReportedUnits();

    SensorLink &m_link;
    UserPrompts &m_prompts;
    DisplayView *m_view = nullptr;

    // What the view shows now.
    InstrumentFields m_fields;
    int m_selectedUnits = -1;
    bool m_sensorShown = false;

    // Ticks since the last full status request; stops at its maximum.
    qint16 m_ticksSinceStatus = 0;
    bool m_connectedLastTick = false;
    // A tick fell due while the link was busy.
    bool m_tickDue = false;
    // What the search found, shown until a port is opened or chosen.
    QString m_searchStatus;
    bool m_searchedNoPort = false;
    QMetaObject::Connection m_lostWatch;
    Lifetime m_lifetime;
};
