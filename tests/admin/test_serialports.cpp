// The Options dialog's port list: stable names first, and adapters plugged in
// or out while the dialog is open.
#include "orvoadmin/admindialogs.h"
#include "orvoadmin/serialports.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class FakePorts : public ISerialPortList {
public:
    QList<SerialPortFacts> ports;
    QList<SerialPortFacts> Ports() const override { return ports; }
};

const SerialPortFacts kBuiltIn{"/dev/ttyS0", "", "", {}};
const SerialPortFacts kAdapter{
    "/dev/ttyUSB0",
    "FT232R USB UART",
    "QRL51730",
    {"/dev/orvo-QRL51730", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_QRL51730-if00-port0"}};

QStringList Devices(const QComboBox* box)
{
    QStringList devices;
    for (int i = 0; i < box->count(); ++i)
        devices << box->itemData(i).toString();
    return devices;
}

class SerialPortsTest : public ::testing::Test {
protected:
    void SetUp() override { SetSerialPortList(&fake); }
    void TearDown() override { SetSerialPortList(nullptr); }
    FakePorts fake;
};

TEST_F(SerialPortsTest, listFollowsAdaptersWhileTheDialogIsOpen)
{
    fake.ports = {kBuiltIn};
    COptionsDlg dlg(nullptr, SetupSettings());
    dlg.Load();
    dlg.show();
    auto* port = dlg.findChild<QComboBox*>("comPort");
    dlg.findChild<QTimer*>("portWatch")->setInterval(5);
    EXPECT_EQ(Devices(port), QStringList{"/dev/ttyS0"});

    // The installer is half-way through typing when the adapter comes.
    port->lineEdit()->setFocus();
    port->setEditText("/dev/tty");
    port->lineEdit()->setCursorPosition(5);
    fake.ports = {kBuiltIn, kAdapter};
    QTRY_COMPARE(port->count(), 4);
    EXPECT_EQ(Devices(port),
              (QStringList{kAdapter.stableNames[0], kAdapter.stableNames[1], "/dev/ttyS0", "/dev/ttyUSB0"}))
        << "stable names come first";
    EXPECT_EQ(port->itemText(0), "/dev/orvo-QRL51730  (/dev/ttyUSB0, FT232R USB UART, QRL51730)");
    EXPECT_EQ(port->currentText(), "/dev/tty");
    EXPECT_EQ(port->lineEdit()->cursorPosition(), 5);

    // Unplugged again: gone from the list, the text still as typed.
    fake.ports = {kBuiltIn};
    QTRY_COMPARE(port->count(), 1);
    EXPECT_EQ(port->currentText(), "/dev/tty");

    // Plugged in once more, under another number: its stable name is the
    // one picked from the top of the list and stored.
    SerialPortFacts replugged = kAdapter;
    replugged.device = "/dev/ttyUSB1";
    fake.ports = {replugged, kBuiltIn};
    QTRY_COMPARE(port->count(), 4);
    port->setCurrentIndex(0);
    emit port->activated(0);
    EXPECT_EQ(port->currentText(), "/dev/orvo-QRL51730");
    QTest::mouseClick(dlg.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Settings().device, "/dev/orvo-QRL51730");
}

// Stable names are found however udev wrote the links (absolute or
// relative), and only for the device they lead to.
TEST(StableNames, linksLeadingToTheDeviceOrvoNamesFirst)
{
    QTemporaryDir dev;
    ASSERT_TRUE(dev.isValid());
    const QDir root(dev.path());
    ASSERT_TRUE(root.mkpath("serial/by-id"));
    for (const char* node : {"ttyUSB3", "ttyUSB4", "orvo-notalink"}) {
        QFile file(root.filePath(node));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString usb3 = root.filePath("ttyUSB3");
    ASSERT_TRUE(QFile::link("ttyUSB3", root.filePath("orvo-QRL2")));
    ASSERT_TRUE(QFile::link(usb3, root.filePath("orvo-QRL1")));
    ASSERT_TRUE(QFile::link("ttyUSB4", root.filePath("orvo-QRL3")));
    ASSERT_TRUE(QFile::link("ttyUSB9", root.filePath("orvo-QRL9"))); // its adapter is gone
    ASSERT_TRUE(QFile::link("../../ttyUSB3", root.filePath("serial/by-id/usb-FTDI_QRL2-if00-port0")));
    ASSERT_TRUE(QFile::link("../../ttyUSB4", root.filePath("serial/by-id/usb-FTDI_QRL3-if00-port0")));

    EXPECT_EQ(StableNamesOf(usb3, dev.path()),
              (QStringList{root.filePath("orvo-QRL1"), root.filePath("orvo-QRL2"),
                           root.filePath("serial/by-id/usb-FTDI_QRL2-if00-port0")}));
    EXPECT_EQ(
        StableNamesOf(root.filePath("orvo-QRL3"), dev.path()),
        (QStringList{root.filePath("orvo-QRL3"), root.filePath("serial/by-id/usb-FTDI_QRL3-if00-port0")}))
        << "a stable name leads to the same names";
    EXPECT_TRUE(StableNamesOf(root.filePath("ttyUSB9"), dev.path()).isEmpty());
    EXPECT_TRUE(StableNamesOf(usb3, root.filePath("nothing-here")).isEmpty());
}

} // namespace
