#include "orvoeditors/resetorvodlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "orvoprocedures/broadcasts.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "registration.h"
#include "wendrel/buslink.h"

CResetOrvoDlg::CResetOrvoDlg(QWidget* parent, COrvoSerialConnection* session)
    : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("Re-Boot System"));
    auto* layout = new QVBoxLayout(this);
    m_reboot = new QPushButton(QStringLiteral("Reboot ORVO System"), this);
    m_reboot->setObjectName(QStringLiteral("reboot"));
    layout->addWidget(m_reboot);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &CResetOrvoDlg::reject);
    connect(m_reboot, &QPushButton::clicked, this, &CResetOrvoDlg::OnReboot);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("rebootTimer"));
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this, &CResetOrvoDlg::OnTimer);
}

void CResetOrvoDlg::OnReboot()
{
    if (m_session) {
        CSessionLink link(*m_session);
        CInstallationBroadcasts(link).Reboot();
    }
    m_reboot->setText(QStringLiteral("Rebooting..."));
    m_reboot->setEnabled(false);
    m_timer->start(); // keeps repeating while the dialog is open
}

void CResetOrvoDlg::OnTimer()
{
    m_reboot->setEnabled(true);
    m_reboot->setText(QStringLiteral("Reboot ORVO System"));
}

void RegisterRebootDialog(CFeatureRegistry& registry)
{
    registry.Register(ID_ORVO_REBOOT, [](FeatureContext& c) {
        CResetOrvoDlg dlg(c.parent, c.session);
        return dlg.exec();
    });
}
