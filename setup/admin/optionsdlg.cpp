#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <unistd.h>

#include "orvoadmin/admindialogs.h"
#include "orvoadmin/serialports.h"
#include "orvomodel/modeltext.h"
#include "orvoshell/shellmessages.h"
#include "ui_optionsdlg.h"

namespace {

// How often the port list is read again while the dialog is open. Adapters
// are plugged in by hand, so a second is soon enough, and reading the list
// costs a few milliseconds.
constexpr int kPortWatchMs = 1000;

// A listed port shows the path, the kernel's name when the path is a stable
// name for it, the description and the USB serial number; the path itself
// travels in the item's data.
QString PortText(const QString& path, const SerialPortFacts& port)
{
    QStringList about;
    if (path != port.device)
        about << port.device;
    if (!port.description.isEmpty())
        about << port.description;
    if (!port.serialNumber.isEmpty())
        about << port.serialNumber;
    return about.isEmpty() ? path : QStringLiteral("%1  (%2)").arg(path, about.join(QStringLiteral(", ")));
}

// Whole numbers as the dialog's fields take them: optional sign, digits.
bool ParseInteger(const QString& text, int* value)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (ok)
        *value = number;
    return ok;
}

bool SystemAllowsAccess(const QString& device)
{
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
}

DeviceAccessCheck g_accessCheck = SystemAllowsAccess;

} // namespace

void SetDeviceAccessCheck(DeviceAccessCheck check)
{
    g_accessCheck = check ? check : SystemAllowsAccess;
}

QString DevicePermissionHint(const QString& device)
{
    if (device.isEmpty() || !QFileInfo::exists(device))
        return QString();
    if (g_accessCheck(device))
        return QString();
    return QStringLiteral("You may not open %1: your user must be a member of the 'dialout' group "
                          "(sudo usermod -aG dialout $USER, then log in again).")
        .arg(device);
}

COptionsDlg::COptionsDlg(QWidget* parent, const SetupSettings& settings, int loginLevel)
    : QDialog(parent), m_ui(std::make_unique<Ui::COptionsDlg>()), m_settings(settings),
      m_loginLevel(loginLevel)
{
    m_ui->setupUi(this);
    ShowPorts(SerialPortList().Ports());
    // Adapters come and go while the dialog is open. The list is read again
    // on a timer rather than on change notices from /dev: a device node
    // appears before udev has added its stable names and serial number, so a
    // notice would still need a later look, and a timer needs nothing of the
    // system beyond the list itself.
    auto* portWatch = new QTimer(this);
    portWatch->setObjectName(QStringLiteral("portWatch"));
    portWatch->setInterval(kPortWatchMs);
    connect(portWatch, &QTimer::timeout, this, &COptionsDlg::RefreshPorts);
    portWatch->start();
    m_ui->accessLevel->addItems({QStringLiteral("Default"), QStringLiteral("Administrator")});
    m_ui->portHint->setVisible(false);
    connect(m_ui->autoCommPort, &QCheckBox::clicked, this, &COptionsDlg::ApplySearchRule);
    connect(m_ui->accessLevel, &QComboBox::currentIndexChanged, this, &COptionsDlg::OnAccessLevel);
    connect(m_ui->comPort, &QComboBox::activated, this, [this](int index) {
        m_ui->comPort->setEditText(m_ui->comPort->itemData(index).toString());
        OnPortChosen();
    });
    connect(m_ui->comPort->lineEdit(), &QLineEdit::editingFinished, this, &COptionsDlg::OnPortChosen);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

COptionsDlg::~COptionsDlg() = default;

void COptionsDlg::Load()
{
    const SetupSettings& s = m_settings;
    const QString device = QString::fromStdString(s.device);
    m_ui->comPort->setCurrentIndex(-1);
    m_ui->comPort->setEditText(device.isEmpty() ? QString::number(s.port) : device);
    m_ui->autoCommPort->setChecked(s.autoCommPort != 0);
    m_ui->adapterLabel->setText(QString::fromStdString(s.adapterLabel));
    // Every significant digit, so that OK without a change keeps the value.
    m_ui->timeoutMultiplier->setText(QString::number(s.TimeoutMultiplier(), 'g', 15));
    m_ui->defaultMainName->setText(TextFromModel(s.defaultMainName));
    m_ui->defaultExpName->setText(TextFromModel(s.defaultExpName));
    m_ui->showResults->setChecked(s.showResults != 0);
    m_ui->usePasswords->setChecked(s.usePasswords != 0);
    m_ui->showDuplicatesReport->setChecked(s.showDuplicatesReport != 0);
    m_ui->maxEmptySlots->setText(QString::number(s.maxEmptySlots));
    m_ui->restorePointLimit->setText(QString::number(s.restorePointLimit));
    ApplySearchRule();
    m_ui->usePasswords->setEnabled(m_loginLevel == 0);
    m_administrator = s.administrator;
    QSignalBlocker block(m_ui->accessLevel);
    m_ui->accessLevel->setCurrentIndex(m_administrator != 0 ? 1 : 0);
    OnPortChosen();
}

int COptionsDlg::exec()
{
    Load();
    return QDialog::exec();
}

void COptionsDlg::ShowPorts(const QList<SerialPortFacts>& ports)
{
    m_ports = ports;
    QComboBox* box = m_ui->comPort;
    const QString typed = box->currentText();
    const int cursor = box->lineEdit()->cursorPosition();
    QSignalBlocker block(box);
    box->clear();
    // Stable names first: they still find the adapter after it comes back
    // under another ttyUSB number.
    for (const SerialPortFacts& port : ports)
        for (const QString& name : port.stableNames)
            box->addItem(PortText(name, port), name);
    for (const SerialPortFacts& port : ports)
        box->addItem(PortText(port.device, port), port.device);
    box->setCurrentIndex(-1);
    box->setEditText(typed);
    box->lineEdit()->setCursorPosition(cursor);
}

void COptionsDlg::RefreshPorts()
{
    QList<SerialPortFacts> ports = SerialPortList().Ports();
    if (ports == m_ports)
        return;
    ShowPorts(ports);
    OnPortChosen();
}

void COptionsDlg::ApplySearchRule()
{
    // The adapter is found through the system's serial-port list, which is
    // always there: the search can always be switched on.
    const bool search = m_ui->autoCommPort->isChecked();
    m_ui->adapterLabel->setEnabled(search);
    m_ui->comPort->setEnabled(!search);
}

void COptionsDlg::OnAccessLevel(int index)
{
    if (index == 0) {
        m_administrator = 0;
        return;
    }
    if (m_administrator != 0)
        return;
    CAccessPasswordDlg check(this);
    if (check.exec() == QDialog::Accepted) {
        m_administrator = 1;
    } else {
        QSignalBlocker block(m_ui->accessLevel);
        m_ui->accessLevel->setCurrentIndex(0);
    }
}

QString COptionsDlg::DeviceOfText(const QString& text) const
{
    const QString trimmed = text.trimmed();
    const int listed = m_ui->comPort->findText(trimmed);
    if (listed >= 0)
        return m_ui->comPort->itemData(listed).toString();
    int number = 0;
    return ParseInteger(trimmed, &number) ? QString() : trimmed;
}

void COptionsDlg::OnPortChosen()
{
    const QString hint = DevicePermissionHint(DeviceOfText(m_ui->comPort->currentText()));
    m_ui->portHint->setText(hint);
    m_ui->portHint->setVisible(!hint.isEmpty());
}

void COptionsDlg::accept()
{
    auto refuse = [this](const QString& text, QWidget* field) {
        ShellMessage(this, text, QMessageBox::Ok, QMessageBox::Warning);
        field->setFocus();
    };
    // The port: a classic port number, or a device path that wins over it.
    int port = m_settings.port;
    const QString portText = m_ui->comPort->currentText().trimmed();
    const QString path = DeviceOfText(portText);
    if (path.isEmpty() && !ParseInteger(portText, &port))
        return refuse(QStringLiteral("Please enter an integer."), m_ui->comPort);
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/')))
        return refuse(QStringLiteral("Please enter a port number or a device path such as /dev/ttyUSB0."),
                      m_ui->comPort);
    bool ok = false;
    const double multiplier = QLocale::c().toDouble(m_ui->timeoutMultiplier->text().trimmed(), &ok);
    if (!ok)
        return refuse(QStringLiteral("Please enter a number."), m_ui->timeoutMultiplier);
    // Written so that "nan" fails too: it would leave every reply without a time-out.
    if (!(multiplier >= 1.0 && multiplier <= 20.0))
        return refuse(QStringLiteral("Please enter a number between 1 and 20."), m_ui->timeoutMultiplier);
    int emptySlots = 0;
    if (!ParseInteger(m_ui->maxEmptySlots->text(), &emptySlots))
        return refuse(QStringLiteral("Please enter an integer."), m_ui->maxEmptySlots);
    int restorePoints = 0;
    if (!ParseInteger(m_ui->restorePointLimit->text(), &restorePoints) || restorePoints < 1 ||
        restorePoints > 10000)
        return refuse(QStringLiteral("Please enter a number between 1 and 10000."), m_ui->restorePointLimit);

    // The labels are kept as Windows-1252 text: a character it lacks becomes '?'.
    bool replaced = false;
    for (const QLineEdit* label : {m_ui->defaultMainName, m_ui->defaultExpName}) {
        bool lacking = false;
        TextToModel(label->text(), &lacking);
        replaced = replaced || lacking;
    }
    if (replaced)
        QApplication::beep();

    SetupSettings& s = m_settings;
    s.port = port;
    s.device = path.toStdString();
    s.SetTimeoutMultiplier(multiplier);
    s.maxEmptySlots = emptySlots;
    s.restorePointLimit = restorePoints;
    s.autoCommPort = m_ui->autoCommPort->isChecked() ? 1 : 0;
    s.adapterLabel = m_ui->adapterLabel->text().toStdString();
    s.defaultMainName = TextToModel(m_ui->defaultMainName->text());
    s.defaultExpName = TextToModel(m_ui->defaultExpName->text());
    s.showResults = m_ui->showResults->isChecked() ? 1 : 0;
    s.usePasswords = m_ui->usePasswords->isChecked() ? 1 : 0;
    s.showDuplicatesReport = m_ui->showDuplicatesReport->isChecked() ? 1 : 0;
    s.administrator = m_ui->accessLevel->currentIndex() > 0 ? 1 : 0;
    QDialog::accept();
}
