#include "app/frmDisplay.h"

#include "app/OptionButton.h"
#include "app/PortMenu.h"
#include "app/StartupOptions.h"
#include "app/SvgPicture.h"
#include "common/NumberFormat.h"
#include "common/NumericText.h"
#include "link/InstrumentModel.h"
#include "link/SensorLink.h"
#include "platform/EventPump.h"
#include "platform/PortTable.h"
#include "platform/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include <limits>

namespace {

const QString ProgramTitle = QStringLiteral("Quorvel");
const QString UnitsMolar = QStringLiteral("Units: umol.m-2.s-1");
const QString UnitsEnergy = QStringLiteral("Units: W.m-2");
const QString UnitsIlluminance = QStringLiteral("Units: klux");
constexpr int IlluminanceIndex = 2;
constexpr int StatusEveryTicks = 10;

void setBold(QWidget *widget, bool bold)
{
    QFont font = widget->font();
    if (font.bold() == bold)
        return;
    font.setBold(bold);
    widget->setFont(font);
}

} // namespace

frmDisplay::frmDisplay(SerialPort &port, Clock &clock, EventPump &pump, UserPrompts &prompts,
                       const PortTable *portTable, QWidget *parent)
    : QMainWindow(parent), m_prompts(prompts), m_pump(pump), m_portTable(portTable),
      m_link(std::make_unique<SensorLink>(port, clock, pump)), m_ui(*this)
{
    setWindowTitle(ProgramTitle);

    connect(m_link.get(), &SensorLink::StatusMsg, this, &frmDisplay::mZQ4_StatusMsg);
    connect(m_link.get(), &SensorLink::HideTerminal, this, &frmDisplay::mZQ4_HideTerminal);
    connect(m_link.get(), &SensorLink::portSelectionFailed, this, [this](const QString &text) {
        m_prompts.message(QStringLiteral("Select serial port"), text);
    });

    connect(&Timer1, &QTimer::timeout, this, &frmDisplay::Timer1_Timer);
    connect(m_ui.mnuSerialPort, &PortMenu::chosen, this, &frmDisplay::mnuSerialPort_Click);
    connect(m_ui.mnuTestTerminal, &QAction::triggered, this, &frmDisplay::mnuTestTerminal_Click);
    connect(m_ui.mnuPCLog, &QAction::triggered, this, &frmDisplay::mnuPCLog_Click);
    connect(m_ui.mnuLogger, &QAction::triggered, this, &frmDisplay::mnuLogger_Click);
    connect(m_ui.mnuAbout, &QAction::triggered, this, &frmDisplay::mnuAbout_Click);
    for (OptionButton *option : m_ui.Option1)
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
    // Releasing the link closes the port.
    m_link.reset();
}

QString frmDisplay::statusBarText() const
{
    return m_ui.statusText->text();
}

// ---------------------------------------------------------------------------------------
// Start-up

void frmDisplay::startUp(const QString &commandLine)
{
    const StartupOptions options = StartupOptions::parse(commandLine);
    TestMenuFlag = options.testMenu;
    m_ui.mnuTest->menuAction()->setVisible(TestMenuFlag);
    LoggerFlag = options.logger;
    if (options.maxPortOverflow)
        showError(QStringLiteral("Overflow"));
    else
        m_maxPort = options.maxPort;

    placePictures();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Painted before the search, which holds the thread.
    show();
    m_pump.processEvents();
    Timer1.setInterval(PollIntervalMs);
    Timer1.start();
    ClearUnits();
    FindSerialPorts();
    if (m_link->CommDefault() < 1) {
        setStatusText(QStringLiteral("VTA1 not found - no serial port selected"));
    } else {
        const QStringList ports = m_link->GetCommPorts(false, 16);
        const int position = m_link->CommDefault();
        if (position <= ports.size())
            SetCommPort(ports.at(position - 1));
    }
    QApplication::restoreOverrideCursor();

    // The first tick follows the end of start-up at once, so the first readings show
    // one poll interval after the window appears; the next ones come every interval.
    Timer1.start();
    QTimer::singleShot(0, this, &frmDisplay::runFirstTick);
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
    const int half = m_ui.Frame1->y() / 2;
    for (SvgPicture *picture : m_ui.imgPC)
        picture->move(picture->x(), std::max(0, half - picture->height()));
    for (SvgPicture *picture : m_ui.imgSS)
        picture->move(picture->x(), half);
    const int side = m_ui.lblDiffuse->height();
    for (SvgPicture *picture : m_ui.imgSun)
        picture->setGeometry(picture->x(), m_ui.lblDiffuse->y(), side, side);
}

void frmDisplay::FindSerialPorts()
{
    setStatusText(QStringLiteral("Finding serial ports"));
    const QStringList ports = m_link->GetCommPorts(true, m_maxPort);
    for (const QString &port : ports)
        m_ui.mnuSerialPort->addPort(port, deviceOf(port));
    m_ui.mnuSerialPort->checkItem(0);
}

QString frmDisplay::deviceOf(const QString &portCaption) const
{
    if (!m_portTable)
        return QString();
    const int number = ToInt16(NumericValue(portCaption.mid(3))).value_or(0);
    return m_portTable->describe(number);
}

void frmDisplay::SetCommPort(const QString &port)
{
    int number = 0;
    if (port.contains(QLatin1String("COM"))) {
        const auto parsed = ToInt16(NumericValue(port.mid(3)));
        if (parsed)
            number = *parsed;
        else
            m_prompts.message(ProgramTitle, QStringLiteral("SetCommPort Error: Overflow"));
    }
    m_link->setCommPort(number);
    number = m_link->CommPort();
    m_ui.mnuSerialPort->checkPort(number);
    if (number != 0) {
        m_ui.lblVersion->clear();
        m_ui.lblPower->clear();
        m_ui.lblLogStatus->clear();
        ClearUnits();
        // The next tick sees the empty version and reads the status again.
        m_link->GetStatus();
    } else {
        m_ui.mnuSerialPort->checkItem(0);
    }
}

// ---------------------------------------------------------------------------------------
// The poll

void frmDisplay::Timer1_Timer()
{
    if (!m_link)
        return;
    const int port = m_link->CommPort();
    if (port != 0 && m_link->Connected())
        pollConnected();
    else if (port != 0)
        pollReconnecting();
    else
        pollWithoutPort();

    m_previouslyConnected = m_link->Connected();
    if (m_tickCount < std::numeric_limits<qint16>::max())
        ++m_tickCount;
    setStatusText(m_link->Status());
    setEnabled(true);
}

void frmDisplay::pollConnected()
{
    m_ui.imgPC[1]->setVisible(true);
    m_ui.imgSS[1]->setVisible(true);
    repaint();

    if (m_ui.lblVersion->text().isEmpty() || m_tickCount >= StatusEveryTicks ||
        !m_previouslyConnected) {
        m_tickCount = 0;
        if (m_link->GetStatus()) {
            m_ui.lblVersion->setText(m_link->Version());
            m_ui.lblPower->setText(m_link->Power());
            setFrameCaption(QStringLiteral("Reading ") + m_link->units());
            ShowUnits();
            setStatusText(m_link->Status());
            m_ui.lblLogStatus->setText(m_link->LogStatus());
            applyLogStatusRule();
        }
    } else if (m_link->GetReadings()) {
        ShowReadings();
    }

    m_ui.imgPC[0]->setVisible(true);
    m_ui.imgPC[1]->setVisible(false);
    m_ui.imgSS[0]->setVisible(true);
    m_ui.imgSS[1]->setVisible(false);
}

void frmDisplay::pollReconnecting()
{
    m_ui.imgPC[1]->setVisible(true);
    m_ui.imgSS[0]->setVisible(false);
    m_ui.imgSS[1]->setVisible(true);
    repaint();

    m_link->Connect();
    m_ui.imgSS[0]->setVisible(m_link->Connected());
    ClearUnits();
    showInstrumentLines();
    setFrameCaption(QStringLiteral("Reading ") + m_link->units());
    ShowReadings();

    m_ui.imgPC[0]->setVisible(true);
    m_ui.imgPC[1]->setVisible(false);
    m_ui.imgSS[1]->setVisible(false);
}

void frmDisplay::pollWithoutPort()
{
    m_ui.imgPC[0]->setVisible(true);
    m_ui.imgPC[1]->setVisible(false);
    m_ui.imgSS[0]->setVisible(false);
    m_ui.imgSS[1]->setVisible(false);
    ClearUnits();
    // The log status too: the link has cleared it with the port, and the logger menu
    // must not stay offered for an instrument that is no longer there.
    showInstrumentLines();
    setFrameCaption(QStringLiteral("Reading ") + m_link->units());
    ShowReadings();
    // A port that closed itself (device unplugged) no longer carries the check mark.
    m_ui.mnuSerialPort->checkPort(0);
}

void frmDisplay::showInstrumentLines()
{
    m_ui.lblVersion->setText(m_link->Version());
    m_ui.lblPower->setText(m_link->Power());
    m_ui.lblLogStatus->setText(m_link->LogStatus());
    applyLogStatusRule();
}

void frmDisplay::applyLogStatusRule()
{
    const bool show = m_link->LogStatus().size() >= 2 && LoggerFlag;
    m_ui.lblStatus->setVisible(show);
    m_ui.lblLogStatus->setVisible(show);
    m_ui.mnuLogger->setVisible(show);
}

// ---------------------------------------------------------------------------------------
// Readings and units display

void frmDisplay::ShowReadings()
{
    const QString pattern = m_ui.Option1[IlluminanceIndex]->isChecked() ? QStringLiteral("##0.00")
                                                                        : QStringLiteral("###0.0");
    if (m_link->Connected()) {
        m_ui.lblTotal->setText(FormatNumber(m_link->Total(), pattern));
        m_ui.lblDiffuse->setText(FormatNumber(m_link->Diffuse(), pattern));
        m_ui.imgSun[0]->setVisible(!m_link->Sun());
        m_ui.imgSun[1]->setVisible(m_link->Sun());
    } else {
        m_ui.lblTotal->clear();
        m_ui.lblDiffuse->clear();
        m_ui.imgSun[0]->setVisible(false);
        m_ui.imgSun[1]->setVisible(false);
    }
}

void frmDisplay::ClearUnits()
{
    for (int i = 0; i < 3; ++i) {
        setUnitsBold(i, false);
        m_ui.Option1[i]->setChecked(false);
    }
}

void frmDisplay::ShowUnits()
{
    ClearUnits();
    const QString units = m_link->units();
    setFrameCaption(QStringLiteral("Reading ") + units);
    const QString known[] = {UnitsMolar, UnitsEnergy, UnitsIlluminance};
    for (int i = 0; i < 3; ++i) {
        if (units == known[i]) {
            m_ui.Option1[i]->setChecked(true);
            setUnitsBold(i, true);
            return;
        }
    }
    const auto fixed = FixedUnitsOf(m_link->Version());
    if (fixed && fixed->unitsIndex == 0) {
        // Fixed molar units (the ZQ2): umol.m-2.s-1, whatever the units line says.
        setFrameCaption(QStringLiteral("Reading ") + UnitsMolar);
        m_ui.Option1[0]->setChecked(true);
        return;
    }
    setStatusText(QStringLiteral("Unrecognised units"));
}

void frmDisplay::setUnitsBold(int index, bool bold)
{
    setBold(m_ui.Option1[index], bold);
    setBold(m_ui.lblOpt[index], bold);
}

void frmDisplay::setFrameCaption(const QString &caption)
{
    m_ui.Frame2->setTitle(caption);
}

// ---------------------------------------------------------------------------------------
// Units selection

void frmDisplay::Option1_MouseUp(int index)
{
    if (!m_link || index < 0 || index > 2)
        return;
    for (int i = 0; i < 3; ++i)
        setUnitsBold(i, false);

    if (const auto fixed = FixedUnitsOf(m_link->Version())) {
        refuseUnits(fixed->model, fixed->unitsIndex);
        return;
    }

    const bool accepted = m_link->SetUnits(index);
    if (m_link->CommPort() < 1 || !accepted) {
        ShowUnits();
        setStatusText(m_link->Status());
        return;
    }
    if (m_link->GetStatus()) {
        setFrameCaption(QStringLiteral("Reading ") + m_link->units());
        selectOnlyOption(index);
        setUnitsBold(index, true);
    } else {
        ShowUnits();
        setStatusText(m_link->Status());
    }
}

void frmDisplay::Option1_KeyUp(int index)
{
    Option1_MouseUp(index);
}

void frmDisplay::refuseUnits(const QString &model, int fixedIndex)
{
    setStatusText(QStringLiteral("You cannot change units on a ") + model + QStringLiteral("!"));
    selectOnlyOption(fixedIndex);
}

void frmDisplay::selectOnlyOption(int index)
{
    for (int i = 0; i < 3; ++i)
        m_ui.Option1[i]->setChecked(i == index);
}

bool frmDisplay::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 3; ++i) {
        if (watched != m_ui.Option1[i])
            continue;
        if (event->type() == QEvent::MouseButtonRelease) {
            Option1_MouseUp(i);
        } else if (event->type() == QEvent::KeyRelease &&
                   !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
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
    if (m_link)
        SetCommPort(m_ui.mnuSerialPort->caption(index));
}

void frmDisplay::handOver(QWidget *window)
{
    if (!window)
        return;
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

void frmDisplay::mnuTestTerminal_Click()
{
    if (windows.terminal)
        handOver(windows.terminal(*this));
}

void frmDisplay::mnuPCLog_Click()
{
    if (windows.pcLog)
        handOver(windows.pcLog(*this));
}

void frmDisplay::mnuLogger_Click()
{
    if (!windows.logger)
        return;
    QWidget *window = windows.logger(*this);
    if (!window)
        return;
    handOver(window);
    // The first poll after the return reads the full status again.
    m_ui.lblVersion->clear();
}

void frmDisplay::mnuAbout_Click()
{
    QWidget *box = windows.about ? windows.about(*this) : nullptr;
    if (!box)
        return;
    if (auto *dialog = qobject_cast<QDialog *>(box)) {
        dialog->exec();
        return;
    }
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void frmDisplay::mZQ4_StatusMsg(const QString &strStatus)
{
    setStatusText(strStatus);
    // The search holds the thread: draw the text now.
    m_ui.statusText->repaint();
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

// ---------------------------------------------------------------------------------------

void frmDisplay::setStatusText(const QString &text)
{
    m_ui.statusText->setText(text);
}

void frmDisplay::showError(const QString &description)
{
    m_prompts.message(ProgramTitle, QStringLiteral("Error: ") + description);
}
