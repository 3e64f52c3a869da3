#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "orvoadmin/admindialogs.h"
#include "orvomodel/modeltext.h"
#include "orvoshell/shellmessages.h"
#include "ui_newuserdlg.h"
#include "ui_userlistdlg.h"
#include "wendrel/user.h"

namespace {

// A group box holding "label: password field", then OK and Cancel, with OK
// enabled only while the field holds text.
QLineEdit* BuildPasswordForm(QDialog* dialog, const QString& title, const QString& group,
                             const QString& label)
{
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    auto* box = new QGroupBox(group, dialog);
    auto* row = new QHBoxLayout(box);
    auto* field = new QLineEdit(box);
    field->setObjectName(QStringLiteral("password"));
    field->setEchoMode(QLineEdit::Password);
    if (!label.isEmpty()) {
        auto* caption = new QLabel(label, box);
        caption->setBuddy(field);
        row->addWidget(caption);
    }
    row->addWidget(field);
    layout->addWidget(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout->addWidget(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    QObject::connect(field, &QLineEdit::textChanged, ok,
                     [ok](const QString& text) { ok->setEnabled(!text.isEmpty()); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    field->setFocus();
    return field;
}

bool AnyUserHas(const CUserList* users, QString CUser::*field, const QString& value)
{
    for (int i = 0; i < users->GetCount(); ++i)
        if (users->GetAt(i)->*field == value)
            return true;
    return false;
}

} // namespace

// ---------------------------------------------------------------- user list

CUserListDlg::CUserListDlg(QWidget* parent, CUserList* users)
    : QDialog(parent), m_ui(std::make_unique<Ui::CUserListDlg>()), m_users(users)
{
    m_ui->setupUi(this);
    for (int column = 0; column < 3; ++column)
        m_ui->userList->setColumnWidth(column, 100);
    connect(m_ui->newButton, &QPushButton::clicked, this, &CUserListDlg::OnNew);
    connect(m_ui->editButton, &QPushButton::clicked, this, &CUserListDlg::OnEdit);
    connect(m_ui->deleteButton, &QPushButton::clicked, this, &CUserListDlg::OnDelete);
    connect(m_ui->userList, &QTreeWidget::itemDoubleClicked, this, &CUserListDlg::OnEdit);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (int i = 0; i < m_users->GetCount(); ++i)
        AddRow(m_users->GetAt(i));
    if (m_ui->userList->topLevelItemCount() > 0)
        m_ui->userList->setCurrentItem(m_ui->userList->topLevelItem(0));
}

CUserListDlg::~CUserListDlg() = default;

CUser* CUserListDlg::UserOf(const QTreeWidgetItem* row)
{
    return reinterpret_cast<CUser*>(row->data(0, Qt::UserRole).value<quintptr>());
}

void CUserListDlg::AddRow(CUser* user)
{
    auto* row = new QTreeWidgetItem(m_ui->userList);
    row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(user)));
    ShowRow(row);
}

void CUserListDlg::ShowRow(QTreeWidgetItem* row)
{
    const CUser* user = UserOf(row);
    row->setText(0, user->m_Name);
    row->setText(1, QString(user->m_Password.size(), QLatin1Char('*')));
    row->setText(2, user->m_Restricted != 0 ? QStringLiteral("Yes") : QStringLiteral("No"));
}

void CUserListDlg::OnNew()
{
    CNewUserDlg details(this, m_users, QString(), QString(), 0);
    if (details.exec() != QDialog::Accepted)
        return;
    auto* user = new CUser(details.Name(), details.Password(), details.Restricted());
    m_users->AddTail(user);
    AddRow(user);
    m_ui->userList->setCurrentItem(m_ui->userList->topLevelItem(m_ui->userList->topLevelItemCount() - 1));
}

void CUserListDlg::OnEdit()
{
    const QList<QTreeWidgetItem*> selected = m_ui->userList->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* row = selected.first();
    CUser* user = UserOf(row);
    CNewUserDlg details(this, m_users, user->m_Name, user->m_Password, user->m_Restricted);
    if (details.exec() != QDialog::Accepted)
        return;
    user->m_Name = details.Name();
    user->m_Password = details.Password();
    user->m_Restricted = details.Restricted();
    ShowRow(row);
}

void CUserListDlg::OnDelete()
{
    const QList<QTreeWidgetItem*> selected = m_ui->userList->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* row = selected.first();
    CUser* user = UserOf(row);
    if (ShellMessage(this, QStringLiteral("Delete user <%1> from the database ?").arg(user->m_Name),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return;
    const int index = m_ui->userList->indexOfTopLevelItem(row);
    delete row;
    if (m_ui->userList->topLevelItemCount() > 0)
        m_ui->userList->setCurrentItem(m_ui->userList->topLevelItem(index > 0 ? index - 1 : 0));
    m_users->RemoveAt(m_users->IndexOf(user));
}

// ---------------------------------------------------------------- user details

CNewUserDlg::CNewUserDlg(QWidget* parent, const CUserList* users, const QString& name,
                         const QString& password, int restricted)
    : QDialog(parent), m_ui(std::make_unique<Ui::CNewUserDlg>()), m_users(users), m_originalName(name),
      m_originalPassword(password)
{
    m_ui->setupUi(this);
    m_ui->name->setText(name);
    m_ui->password->setText(password);
    m_ui->restricted->setChecked(restricted != 0);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CNewUserDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CNewUserDlg::~CNewUserDlg() = default;

QString CNewUserDlg::Name() const
{
    return m_ui->name->text();
}

QString CNewUserDlg::Password() const
{
    return m_ui->password->text();
}

int CNewUserDlg::Restricted() const
{
    return m_ui->restricted->isChecked() ? 1 : 0;
}

void CNewUserDlg::Refuse(const QString& text, QLineEdit* focus)
{
    ShellMessage(this, text, QMessageBox::Ok, QMessageBox::Critical);
    focus->setFocus();
}

bool CNewUserDlg::FitsCodePage(QLineEdit* field)
{
    bool replaced = false;
    const QString stored = TextFromModel(TextToModel(field->text(), &replaced));
    if (!replaced)
        return true;
    field->setText(stored);
    QApplication::beep();
    field->setFocus();
    return false;
}

void CNewUserDlg::accept()
{
    // User.dat holds one Windows-1252 byte per character. A character it
    // lacks would be saved as '?' behind the installer's back (and the
    // password typed at the next login would no longer match): the field
    // takes the text as it will be stored and the dialog stays open.
    const bool passwordFits = FitsCodePage(m_ui->password);
    const bool nameFits = FitsCodePage(m_ui->name);
    if (!nameFits || !passwordFits)
        return;
    if (Name() != m_originalName && AnyUserHas(m_users, &CUser::m_Name, Name()))
        return Refuse(QStringLiteral("The name you entered is already in use !"), m_ui->name);
    if (Password() == m_originalPassword)
        return QDialog::accept();
    // The login knows a user by the password alone.
    if (AnyUserHas(m_users, &CUser::m_Password, Password()))
        return Refuse(QStringLiteral("The password you entered is already in use !"), m_ui->password);
    CConfirmPasswordDlg confirm(this);
    if (confirm.exec() != QDialog::Accepted)
        return;
    // The repetition is held to the same code page as the password.
    if (TextFromModel(TextToModel(confirm.Password())) != Password())
        return Refuse(QStringLiteral("The two passwords you entered do not match !"), m_ui->password);
    QDialog::accept();
}

// ---------------------------------------------------------------- password checks

CConfirmPasswordDlg::CConfirmPasswordDlg(QWidget* parent)
    // The dialog's title has always ended in a space.
    : QDialog(parent), m_password(BuildPasswordForm(this, QStringLiteral("Password Confirmation "),
                                                    QStringLiteral("Repeat Password"), QString()))
{
}

QString CConfirmPasswordDlg::Password() const
{
    return m_password->text();
}

CAccessPasswordDlg::CAccessPasswordDlg(QWidget* parent)
    : QDialog(parent),
      m_password(BuildPasswordForm(this, QStringLiteral("Access Rights"), QStringLiteral("Enter Password"),
                                   QStringLiteral("Password")))
{
}

void CAccessPasswordDlg::accept()
{
    if (m_password->text() == QLatin1String(kMasterPassword))
        QDialog::accept();
    else
        QDialog::reject();
}
