// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmDisplay.h"

#include "app/ElidedLabel.h"
#include "app/OptionButton.h"
#include "app/PortMenu.h"
#include "app/StartupOptions.h"
#include "app/SvgPicture.h"
#include "common/NumericText.h"
#include "display/DisplayPoll.h"
#include "link/SensorLink.h"
#include "platform/PortTable.h"
#include "platform/ProgramTitle.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>

#include <utility>

namespace {

void setBold(QWidget *widget, bool bold)
{
    QFont font = widget->font();
    if (font.bold() == bold)
        return;
    font.setBold(bold);
    widget->setFont(font);
}

} // namespace

frmDisplay::frmDisplay(SerialPort &port, Clock &clock, UserPrompts &prompts,
                       const PortTable *portTable, QWidget *parent)
    : QMainWindow(parent), m_prompts(prompts), m_portTable(portTable),
      m_link(std::make_unique<SensorLink>(port, clock)),
      m_poll(std::make_unique<DisplayPoll>(*m_link, prompts)), m_controls(*this)
{
    setWindowTitle(ProgramTitle);
    m_poll->setView(*this);

    connect(m_link.get(), &SensorLink::StatusMsg, this, &frmDisplay::mZQ4_StatusMsg);
    connect(m_link.get(), &SensorLink::HideTerminal, this, &frmDisplay::mZQ4_HideTerminal);
    connect(m_link.get(), &SensorLink::portSelectionFailed, this, [this](const QString &text) {
        m_prompts.message(QStringLiteral("Select serial port"), text);
    });

    connect(&Timer1, &QTimer::timeout, this, &frmDisplay::Timer1_Timer);
    connect(m_controls.mnuSerialPort, &PortMenu::chosen, this, &frmDisplay::mnuSerialPort_Click);
    connect(m_controls.mnuTestTerminal, &QAction::triggered, this,
            &frmDisplay::mnuTestTerminal_Click);
    connect(m_controls.mnuPCLog, &QAction::triggered, this, &frmDisplay::mnuPCLog_Click);
    connect(m_controls.mnuLogger, &QAction::triggered, this, &frmDisplay::mnuLogger_Click);
    connect(m_controls.mnuAbout, &QAction::triggered, this, &frmDisplay::mnuAbout_Click);
    connect(m_controls.lblHowToFix, &QLabel::linkActivated, this, &frmDisplay::lblHowToFix_Click);
    for (OptionButton *option : m_controls.Option1)
        option->installEventFilter(this);
}

frmDisplay::~frmDisplay()
{
    releaseLink();
}

void frmDisplay::releaseLink()
{
    Timer1.stop();
    // The windows that borrowed the link go before it.
    windows = WindowFactories{};
    m_poll.reset();
    // Releasing the link closes the port.
    m_link.reset();
}

QString frmDisplay::statusBarText() const
{
    return m_controls.statusText->fullText();
}

// ---------------------------------------------------------------------------------------
// Start-up

void frmDisplay::startUp(const QString &commandLine)
{
    const StartupOptions options = StartupOptions::parse(commandLine);
    TestMenuFlag = options.testMenu;
    m_controls.mnuTest->menuAction()->setVisible(TestMenuFlag);
    LoggerFlag = options.logger;
    if (options.maxPortOverflow)
        showError(options.overflowDescription());
    else
        m_maxPort = options.maxPort;

    placePictures();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    show();
    Timer1.setInterval(PollIntervalMs);
    // The search runs from the event loop: the window paints and says which port it
    // tries meanwhile.
    m_poll->searchPorts(m_maxPort, [this](const QStringList &ports) {
        listPorts(ports);
        QApplication::restoreOverrideCursor();
        // The first tick follows the end of start-up at once, so the first readings show
        // one poll interval after the search ends; the next ones come every interval.
        Timer1.start();
        QTimer::singleShot(0, this, &frmDisplay::runFirstTick);
    });
}

void frmDisplay::runFirstTick()
{
    if (Timer1.isActive() && isVisible())
        Timer1_Timer();
}

void frmDisplay::placePictures()
{
    // The computer directly above the sensor, level with the readings frame's upper
    // half; the sky picture a square level with the diffuse reading.
    const int half = m_controls.Frame1->y() / 2;
    for (SvgPicture *picture : m_controls.imgPC)
        picture->move(picture->x(), std::max(0, half - picture->height()));
    for (SvgPicture *picture : m_controls.imgSS)
        picture->move(picture->x(), half);
    const int side = m_controls.lblDiffuse->height();
    for (SvgPicture *picture : m_controls.imgSun)
        picture->setGeometry(picture->x(), m_controls.lblDiffuse->y(), side, side);
}

void frmDisplay::listPorts(const QStringList &ports)
{
    const QMap<int, SerialPort::OpenFailure> failures = m_link->Comm().openFailures();
    for (const QString &port : ports) {
        const int number = ToInt16(NumericValue(port.mid(3))).value_or(0);
        // A port refused for lack of rights is greyed; one another program holds may be
        // free when chosen.
        const QString denied = m_link->deniedPorts().value(number);
        m_controls.mnuSerialPort->addPort(
            port, deviceOf(port), denied.isEmpty() ? failures.value(number).description : denied,
            denied.isEmpty());
    }
    m_controls.mnuSerialPort->checkItem(0);
}

QMap<int, QString> frmDisplay::portProblems() const
{
    QMap<int, QString> problems;
    if (!m_link || m_link->CommPort() != 0)
        return problems;
    const QMap<int, SerialPort::OpenFailure> failures = m_link->Comm().openFailures();
    for (auto failure = failures.cbegin(); failure != failures.cend(); ++failure) {
        const int error = failure->number;
        if (error != SerialPort::ErrorPermission && error != SerialPort::ErrorPortAlreadyOpen &&
            error != SerialPort::ErrorNotSerialDevice)
            continue;
        problems.insert(failure.key(), failure->description);
    }
    return problems;
}

QString frmDisplay::deviceOf(const QString &portCaption) const
{
    if (!m_portTable)
        return QString();
    const int number = ToInt16(NumericValue(portCaption.mid(3))).value_or(0);
    return m_portTable->describe(number);
}

// ---------------------------------------------------------------------------------------
// The poll and the units options: the work is the poll's

void frmDisplay::Timer1_Timer()
{
    if (!m_poll)
        return;
    m_poll->tick();
    setEnabled(true);
}

void frmDisplay::Option1_MouseUp(int index)
{
    if (m_poll)
        m_poll->chooseUnits(index);
}

void frmDisplay::Option1_KeyUp(int index)
{
    Option1_MouseUp(index);
}

bool frmDisplay::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 3; ++i) {
        if (watched != m_controls.Option1[i])
            continue;
        const auto *key = dynamic_cast<QKeyEvent *>(event);
        // Only Space and the arrows act, and only when pressed on this option: the release
        // of a key that closed a menu, a dialog or a box must not change the units.
        const bool acting =
            key && !key->isAutoRepeat() &&
            (key->key() == Qt::Key_Space || key->key() == Qt::Key_Left ||
             key->key() == Qt::Key_Right || key->key() == Qt::Key_Up || key->key() == Qt::Key_Down);
        if (event->type() == QEvent::MouseButtonRelease) {
            Option1_MouseUp(i);
        } else if (event->type() == QEvent::KeyPress && acting) {
            m_keyPressedOn = i;
        } else if (event->type() == QEvent::KeyRelease && acting) {
            if (std::exchange(m_keyPressedOn, -1) == i)
                Option1_KeyUp(i);
        }
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Menus and hand-over of the instrument

void frmDisplay::mnuSerialPort_Click(int index)
{
    if (m_poll)
        m_poll->choosePort(m_controls.mnuSerialPort->caption(index));
}

void frmDisplay::handOver(QWidget *window)
{
    if (!window) {
        takeBack();
        return;
    }
    Timer1.stop();
    window->move(pos());
    hide();
    window->show();
}

void frmDisplay::takeBack()
{
    if (!m_link)
        return;
    show();
    Timer1.start(PollIntervalMs);
}

void frmDisplay::afterPoll(const std::function<void()> &action)
{
    if (!m_link)
        return;
    // No tick starts meanwhile; the exchanges of one that runs end first.
    Timer1.stop();
    m_link->whenRequestsIdle([window = QPointer<frmDisplay>(this), action] {
        if (window)
            action();
    });
}

void frmDisplay::mnuTestTerminal_Click()
{
    if (!windows.terminal)
        return;
    afterPoll([this] { handOver(windows.terminal ? windows.terminal(*this) : nullptr); });
}

void frmDisplay::mnuPCLog_Click()
{
    if (!windows.pcLog)
        return;
    afterPoll([this] { handOver(windows.pcLog ? windows.pcLog(*this) : nullptr); });
}

void frmDisplay::mnuLogger_Click()
{
    if (!windows.logger)
        return;
    afterPoll([this] {
        QWidget *window = windows.logger ? windows.logger(*this) : nullptr;
        if (!window) {
            takeBack();
            return;
        }
        handOver(window);
        m_poll->readStatusNextTick();
    });
}

void frmDisplay::mnuAbout_Click()
{
    QWidget *box = windows.about ? windows.about(*this) : nullptr;
    if (!box)
        return;
    // Modal over the program, without an event loop of its own: the poll goes on.
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void frmDisplay::mZQ4_StatusMsg(const QString &strStatus)
{
    setStatusText(strStatus);
}

void frmDisplay::mZQ4_HideTerminal()
{
    takeBack();
}

void frmDisplay::closeEvent(QCloseEvent *event)
{
    releaseLink();
    event->accept();
}

void frmDisplay::showError(const QString &description)
{
    m_prompts.message(ProgramTitle, QStringLiteral("Error: ") + description);
}

// ---------------------------------------------------------------------------------------
// What the poll shows

void frmDisplay::showFields(const InstrumentFields &fields)
{
    m_controls.lblVersion->setText(fields.version);
    m_controls.lblPower->setText(fields.power);
    m_controls.lblLogStatus->setText(fields.logStatus);
}

void frmDisplay::setLoggerMenuVisible(bool visible)
{
    m_controls.lblStatus->setVisible(visible);
    m_controls.lblLogStatus->setVisible(visible);
    m_controls.mnuLogger->setVisible(visible);
}

void frmDisplay::showReadingCaption(const QString &caption)
{
    m_controls.Frame2->setTitle(caption);
}

void frmDisplay::showReadings(const QString &total, const QString &diffuse, bool sun)
{
    m_controls.lblTotal->setText(total);
    m_controls.lblDiffuse->setText(diffuse);
    m_controls.imgSun[0]->setVisible(!sun);
    m_controls.imgSun[1]->setVisible(sun);
}

void frmDisplay::clearReadings()
{
    m_controls.lblTotal->clear();
    m_controls.lblDiffuse->clear();
    m_controls.imgSun[0]->setVisible(false);
    m_controls.imgSun[1]->setVisible(false);
}

void frmDisplay::showUnitsChoice(int selected, bool bold)
{
    for (int i = 0; i < 3; ++i) {
        m_controls.Option1[i]->setChecked(i == selected);
        setBold(m_controls.Option1[i], bold && i == selected);
        setBold(m_controls.lblOpt[i], bold && i == selected);
    }
}

void frmDisplay::showActivity(bool sensorFound, bool exchanging)
{
    // The marks of an exchange are drawn above the resting pictures.
    m_controls.imgPC[0]->setVisible(true);
    m_controls.imgPC[1]->setVisible(exchanging);
    m_controls.imgSS[0]->setVisible(sensorFound);
    m_controls.imgSS[1]->setVisible(exchanging);
}

void frmDisplay::setStatusText(const QString &text)
{
    // The search found no instrument: where a port failed for a reason the user can
    // remedy, the status says that reason rather than only that none was selected.
    static const QString NotFound = QStringLiteral("VTA1 not found - ");
    const QMap<int, QString> problems = portProblems();
    const bool explained = !problems.isEmpty() && text.startsWith(NotFound);
    const bool generic = text == NotFound + QStringLiteral("no serial port selected");
    m_controls.statusText->setFullText(explained && generic ? NotFound + problems.first() : text);
    m_controls.lblHowToFix->setVisible(explained);
}

void frmDisplay::lblHowToFix_Click()
{
    const QMap<int, QString> problems = portProblems();
    QStringList lines;
    for (auto problem = problems.cbegin(); problem != problems.cend(); ++problem) {
        const QString port = m_portTable ? m_portTable->label(problem.key())
                                         : QStringLiteral("COM %1").arg(problem.key());
        lines.append(port + QStringLiteral(": ") + *problem);
    }
    if (!lines.isEmpty())
        m_prompts.message(ProgramTitle, lines.join(QStringLiteral("\n\n")));
}

void frmDisplay::checkPort(int number)
{
    m_controls.mnuSerialPort->checkPort(number);
}
