#include "wendrel/passworddlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "wendrel/messagebox.h"
#include "wendrel/user.h"

CPasswordDlg::CPasswordDlg(QWidget* parent, int* accessLevel, CUserList* users, const QString& caption)
    : QDialog(parent), m_accessLevel(accessLevel), m_users(users), m_caption(caption)
{
    setObjectName(QStringLiteral("CPasswordDlg"));
    setWindowTitle(m_caption.isEmpty() ? QStringLiteral("Password") : m_caption);

    auto* group = new QGroupBox(QStringLiteral("Enter a password"), this);
    auto* label = new QLabel(QStringLiteral("Password"), group);
    m_edit = new QLineEdit(group);
    m_edit->setObjectName(QStringLiteral("password"));
    m_edit->setEchoMode(QLineEdit::Password);
    label->setBuddy(m_edit);
    auto* row = new QHBoxLayout(group);
    row->addWidget(label);
    row->addWidget(m_edit, 1);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    m_ok->setEnabled(false);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(m_edit, &QLineEdit::textChanged, this, &CPasswordDlg::OnPasswordChanged);
    connect(m_ok, &QPushButton::clicked, this, &CPasswordDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CPasswordDlg::reject);
    m_edit->setFocus();
}

CPasswordDlg::~CPasswordDlg() = default;

QString CPasswordDlg::MasterPassword()
{
    return QStringLiteral("73519");
}

void CPasswordDlg::OnPasswordChanged(const QString& text)
{
    m_ok->setEnabled(!text.isEmpty());
}

void CPasswordDlg::accept()
{
    m_password = m_edit->text();
    // Return in the field reaches here even while OK is disabled; an empty
    // password is never checked.
    if (m_password.isEmpty())
        return;

    if (m_password == MasterPassword()) {
        if (m_accessLevel)
            *m_accessLevel = 0;
        QDialog::accept();
        return;
    }
    if (m_users) {
        for (int i = 0; i < m_users->GetCount(); ++i) {
            const CUser* user = m_users->GetAt(i);
            if (user->m_Password == m_password) {
                if (m_accessLevel)
                    *m_accessLevel = user->m_Restricted;
                QDialog::accept();
                return;
            }
        }
    }
    WendrelMessageBox(
        this, QStringLiteral("The password you entered does not match any user registered to the system"),
        QMessageBox::Critical);
    reject();
}
