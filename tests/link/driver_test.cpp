// SPDX-License-Identifier: GPL-3.0-or-later
// The link driver: exchanges run one after the other from the port's and the alarm's
// events, bytes go to the exchange that asked for them, time limits end exchanges on the
// tick, and nothing is counted twice.

#include "Bytes.h"
#include "QtPrinters.h"
#include "VirtualLinkEvents.h"
#include "link/LinkDriver.h"
#include "platform/Alarm.h"

#include <gtest/gtest.h>

namespace {

// Sends its command and is done with the next `size` bytes; whatever came with them is
// surplus. Fails when they are not in within 1 s.
class CountedReply : public Exchange
{
public:
    CountedReply(QByteArray command, int size, bool ahead = false)
        : m_command(std::move(command)), m_size(size), m_ahead(ahead)
    {}

    ExchangeStep start(double now) override
    {
        m_deadline = now + 1.0;
        ExchangeStep step;
        if (!m_command.isEmpty())
            step.send = {m_command};
        step.deadline = m_deadline;
        return step;
    }
    ExchangeStep feed(const QByteArray &bytes, double now) override
    {
        m_reply += bytes;
        ExchangeStep step;
        step.deadline = m_deadline;
        if (m_reply.size() >= m_size) {
            step.state = ExchangeStep::State::Done;
            step.surplus = m_reply.mid(m_size);
            m_reply.truncate(m_size);
        } else if (now >= m_deadline) {
            step.state = ExchangeStep::State::Failed;
            step.failure = ExchangeStep::Failure::TimedOut;
            step.reason = QStringLiteral("no reply");
        }
        return step;
    }
    bool takesWaitingBytes() const override { return m_ahead; }

    QByteArray reply() const { return m_reply; }

private:
    QByteArray m_command;
    int m_size;
    bool m_ahead;
    double m_deadline = 0;
    QByteArray m_reply;
};

class DriverTest : public ::testing::Test
{
protected:
    DriverTest() : line(port.addLine(1))
    {
        EXPECT_TRUE(port.open());
        line.onWrite = [this](const QByteArray &bytes) {
            log += "w:" + bytes + " ";
            const auto answer = answers.find(bytes);
            if (answer != answers.end())
                line.deliver(answer->second.second, answer->second.first);
        };
    }

    // Queues an exchange that notes its end in `log`.
    void queue(const QByteArray &command, int size, bool ahead = false)
    {
        driver.enqueue<CountedReply>(
            std::make_unique<CountedReply>(command, size, ahead),
            [this, command](CountedReply &exchange, const ExchangeStep &end) {
                log += "end:" + command + "=" +
                       (end.state == ExchangeStep::State::Done
                            ? exchange.reply()
                            : "failed@" + QByteArray::number(clock.monotonicSeconds() - t0)) +
                       " ";
            });
    }
    void run()
    {
        runLinkEvents(clock, port, [this] { return driver.idle(); });
    }

    VirtualClock clock;
    FakeSerialPort port{clock};
    FakeLine &line;
    VirtualAlarm alarm{clock};
    LinkCounters counters;
    LinkDriver driver{port, clock, alarm, counters};
    // Each command's answer: delay and bytes.
    std::map<QByteArray, std::pair<double, QByteArray>> answers;
    QByteArray log;
    // The time a case starts at: the log gives times from it.
    double t0 = 0;
};

TEST_F(DriverTest, ExchangesRunInTurnAndHearOfTheirOwnEnd)
{
    struct Case
    {
        const char *name;
        std::map<QByteArray, std::pair<double, QByteArray>> answers;
        QByteArray waitingBefore;
        QByteArray expectedLog;
        int unasked;
    };
    const QList<Case> cases = {
        {"the second waits for the end of the first",
         {{"A", {0.9, "aa"}}, {"B", {0.1, "bb"}}},
         {},
         "w:A end:A=aa w:B end:B=bb ",
         0},
        {"a silent instrument: the limit ends the first on its tick, the second still runs",
         {{"B", {0.1, "bb"}}},
         {},
         "w:A end:A=failed@1 w:B end:B=bb ",
         0},
        {"a reply one millisecond late is too late: it reaches the next exchange, whose "
         "reader must know its own reply",
         {{"A", {1.001, "aa"}}, {"B", {0.1, "bb"}}},
         {},
         "w:A end:A=failed@1 w:B end:B=aa ",
         0},
        {"a reply exactly on the limit is taken",
         {{"A", {1.0, "aa"}}, {"B", {0.1, "bb"}}},
         {},
         "w:A end:A=aa w:B end:B=bb ",
         0},
        {"noise waiting before the request is dropped and counted, not taken as the reply",
         {{"A", {0.2, "aa"}}, {"B", {0.1, "bb"}}},
         "xyz",
         "w:A end:A=aa w:B end:B=bb ",
         3},
        {"bytes after a reply that nobody asked for are counted once",
         {{"A", {0.2, "aaJUNK"}}, {"B", {0.1, "bb"}}},
         {},
         "w:A end:A=aa w:B end:B=bb ",
         4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        counters = {};
        answers = c.answers;
        line.deliver(c.waitingBefore);
        queue("A", 2);
        queue("B", 2);
        EXPECT_EQ(driver.pending(), 2);
        run();
        EXPECT_EQ(log, c.expectedLog);
        EXPECT_EQ(counters.exchanges, 2);
        EXPECT_EQ(counters.unaskedBytes, c.unasked);
        clock.advanceSeconds(5);
        line.discardAll();
        t0 = clock.monotonicSeconds();
    }
}

TEST_F(DriverTest, BytesAskedForAheadGoToTheExchangeThatAskedForThem)
{
    // The first reply brings the start of the next one with it: the next exchange, which
    // asked ahead (sends nothing itself), takes it; nothing counts as unasked.
    answers = {{"A", {0.1, "aab"}}};
    queue("A", 2);
    queue({}, 2, true);
    line.deliver("b", 0.5);
    run();
    EXPECT_EQ(log, "w:A end:A=aa end:=bb ");
    EXPECT_EQ(counters.unaskedBytes, 0);
    EXPECT_EQ(counters.exchanges, 1);
}

TEST_F(DriverTest, ACallbackQueuesTheNextStepAfterItsOwnEnd)
{
    answers = {{"A", {0.1, "aa"}}, {"B", {0.1, "bb"}}, {"C", {0.1, "cc"}}};
    driver.enqueue<CountedReply>(std::make_unique<CountedReply>("A", 2),
                                 [this](CountedReply &, const ExchangeStep &) {
                                     log += "end:A ";
                                     queue("C", 2);
                                 });
    queue("B", 2);
    run();
    // The request made in A's callback queues behind B, which was asked first.
    EXPECT_EQ(log, "w:A end:A w:B end:B=bb w:C end:C=cc ");

    // The next step of the same request goes before B.
    log.clear();
    driver.enqueue<CountedReply>(std::make_unique<CountedReply>("A", 2),
                                 [this](CountedReply &, const ExchangeStep &) {
                                     log += "end:A ";
                                     driver.enqueueNext(std::make_unique<CountedReply>("C", 2),
                                                        LinkDriver::Done<CountedReply>());
                                 });
    queue("B", 2);
    driver.whenIdle([this] { log += "idle "; });
    run();
    EXPECT_EQ(log, "w:A end:A w:C w:B end:B=bb idle ");
    driver.whenIdle([this] { log += "at once"; });
    EXPECT_EQ(log, "w:A end:A w:C w:B end:B=bb idle at once");
}

TEST_F(DriverTest, AClosedPortFailsEveryExchangeOnceFromTheEventLoop)
{
    answers = {{"A", {0.5, "aa"}}};
    queue("A", 2);
    clock.advanceSeconds(0.2);
    port.close();
    driver.portClosed();
    queue("B", 2);
    // Nothing ends inside the request itself.
    EXPECT_EQ(log, "w:A end:A=failed@0.2 ");
    run();
    EXPECT_EQ(log, "w:A end:A=failed@0.2 end:B=failed@0.2 ");
    // B never wrote.
    EXPECT_EQ(counters.exchanges, 1);
}

} // namespace
