// The units options of the main window: refusals on the models with fixed units, a
// change that reaches the instrument, failures that put the reported units back, and
// the mouse and key releases that start it.
#include "DisplayFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTest>

namespace {

class UnitsTest : public DisplayFixture
{
protected:
    // Starts on an instrument on port 1 and lets the first tick read its status.
    void startOn(SimModel model)
    {
        addInstrument(1, model);
        start("/P1");
        tick();
        takeWritten(1);
    }

    QList<bool> selected() const
    {
        QList<bool> states;
        for (const OptionButton *option : ui().Option1)
            states.append(option->isChecked());
        return states;
    }

    bool anyBold() const
    {
        for (int i = 0; i < 3; ++i) {
            if (ui().Option1[i]->font().bold() || ui().lblOpt[i]->font().bold())
                return true;
        }
        return false;
    }

    void expectOnlyBold(int index) const
    {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ui().Option1[i]->font().bold(), i == index) << i;
            EXPECT_EQ(ui().lblOpt[i]->font().bold(), i == index) << i;
        }
    }

    // Runs what is already queued (the first tick that follows the start-up) and stops
    // the poll, so that the real mouse and key events below meet no tick of their own.
    void settle()
    {
        QCoreApplication::processEvents();
        window->Timer1.stop();
        takeWritten(1);
    }
};

TEST_F(UnitsTest, ModelsWithFixedUnitsRefuseEveryChange)
{
    struct Case
    {
        SimModel model;
        const char *text;
        int fixed;
    };
    const Case cases[] = {
        {SimModel::ZQ2, "You cannot change units on a ZQ2!", 0},
        {SimModel::ZQ4, "You cannot change units on a ZQ4!", 1},
        {SimModel::VTA1, "You cannot change units on a VTA1!", 1},
    };
    for (const Case &c : cases) {
        for (int index = 0; index < 3; ++index) {
            SCOPED_TRACE(std::string(c.text) + " option " + std::to_string(index));
            rebuildWindow();
            startOn(c.model);
            ASSERT_TRUE(ui().Option1[c.fixed]->isChecked());

            window->Option1_MouseUp(index);
            EXPECT_EQ(window->statusBarText(), QString::fromLatin1(c.text));
            QList<bool> expected{false, false, false};
            expected[c.fixed] = true;
            EXPECT_EQ(selected(), expected);
            // The fixed option is selected again without bold until the next status.
            EXPECT_FALSE(anyBold());
            EXPECT_TRUE(takeWritten(1).isEmpty());
            // The refusal stays until the next tick shows the link's status.
            tick();
            EXPECT_EQ(window->statusBarText(), link().Status());
        }
    }
}

TEST_F(UnitsTest, KluxChangesTheReadingsPatternFromTheNextDisplay)
{
    const QRegularExpression oneDecimal(QStringLiteral("^\\d+\\.\\d$"));
    const QRegularExpression twoDecimals(QStringLiteral("^\\d+\\.\\d\\d$"));
    startOn(SimModel::ZQ5);
    tick();
    EXPECT_TRUE(oneDecimal.match(ui().lblTotal->text()).hasMatch())
        << ui().lblTotal->text().toStdString();

    window->Option1_MouseUp(2);
    ASSERT_TRUE(ui().Option1[2]->isChecked());
    tick();
    EXPECT_TRUE(twoDecimals.match(ui().lblTotal->text()).hasMatch())
        << ui().lblTotal->text().toStdString();
    EXPECT_TRUE(twoDecimals.match(ui().lblDiffuse->text()).hasMatch());

    window->Option1_MouseUp(0);
    tick();
    EXPECT_TRUE(oneDecimal.match(ui().lblTotal->text()).hasMatch())
        << ui().lblTotal->text().toStdString();
}

TEST_F(UnitsTest, FailuresPutBackTheUnitsTheLinkReports)
{
    struct Case
    {
        const char *name;
        QByteArray unitsAnswer; // empty: no answer
        QByteArray statusAfter; // empty: no answer to "I" after the change
        QList<bool> selected;
        int bold;
        const char *status;
    };
    const QList<bool> energy{false, true, false};
    const QList<Case> cases = {
        {"instrument refuses", "U2NO\rTEST:", statusReply(), energy, 1, "SetUnits command failed"},
        {"no answer to U", "", statusReply(), energy, 1, "SetUnits command failed"},
        {"status lost after the change",
         "U2OK\rTEST:",
         "",
         {false, false, false},
         -1,
         "GetStatus command failed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rebuildWindow();
        ScriptedLine &far = addScripted(1);
        start("/P1");
        tick();
        ASSERT_TRUE(ui().Option1[1]->isChecked());
        if (c.unitsAnswer.isEmpty())
            far.silence("U2");
        else
            far.on("U2", c.unitsAnswer);
        if (c.statusAfter.isEmpty())
            far.silence("I");
        takeWritten(1);

        window->Option1_MouseUp(2);
        EXPECT_EQ(selected(), c.selected);
        expectOnlyBold(c.bold);
        EXPECT_EQ(window->statusBarText(), QString::fromLatin1(c.status));
        if (QByteArray(c.status) == "SetUnits command failed") {
            EXPECT_EQ(takeWritten(1), QByteArray("RTU2R")); // back to the prompt
        }
    }
}

TEST_F(UnitsTest, NoPortOpenShowsTheLinkUnitsAndStatus)
{
    addSilentPort(1);
    start("/P1");
    ASSERT_EQ(link().CommPort(), 0);
    window->Option1_MouseUp(2);
    EXPECT_EQ(selected(), (QList<bool>{false, false, false}));
    EXPECT_FALSE(anyBold());
    EXPECT_EQ(window->statusBarText(), QStringLiteral("VTA1 not found on COM 1"));
    EXPECT_EQ(link().Status(), QStringLiteral("VTA1 not found on COM 1"));
}

TEST_F(UnitsTest, MouseReleaseOverAnOptionChangesTheUnits)
{
    Instrument &instrument = addInstrument(1, SimModel::ZQ5);
    start("/P1");
    settle();
    ASSERT_EQ(selected(), (QList<bool>{true, false, false}));

    QTest::mouseClick(ui().Option1[2], Qt::LeftButton);
    EXPECT_EQ(takeWritten(1), QByteArray("RTU2RI"));
    EXPECT_EQ(instrument.state().units(), SimUnits::Illuminance);
    // The click did not toggle anything of its own: only the handler's choice stands.
    EXPECT_EQ(selected(), (QList<bool>{false, false, true}));
    expectOnlyBold(2);

    // Clicking the selected option keeps it selected.
    QTest::mouseClick(ui().Option1[2], Qt::LeftButton);
    EXPECT_EQ(takeWritten(1), QByteArray("RTU2RI"));
    EXPECT_EQ(selected(), (QList<bool>{false, false, true}));
}

TEST_F(UnitsTest, AnyKeyReleasedOnAnOptionActsAsAClick)
{
    Instrument &instrument = addInstrument(1, SimModel::ZQ5);
    start("/P1");
    settle();

    QTest::keyClick(ui().Option1[1], Qt::Key_Space);
    EXPECT_EQ(takeWritten(1), QByteArray("RTU1RI"));
    EXPECT_EQ(instrument.state().units(), SimUnits::Energy);
    EXPECT_EQ(ui().Frame2->title(), QStringLiteral("Reading Units: W.m-2"));
    EXPECT_EQ(selected(), (QList<bool>{false, true, false}));
    expectOnlyBold(1);

    QTest::keyClick(ui().Option1[2], Qt::Key_A);
    EXPECT_EQ(takeWritten(1), QByteArray("RTU2RI"));
    EXPECT_EQ(selected(), (QList<bool>{false, false, true}));

    // A held key repeats its press and release: only the real release counts.
    QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"), true);
    QApplication::sendEvent(ui().Option1[0], &repeated);
    EXPECT_TRUE(takeWritten(1).isEmpty());
}

} // namespace
