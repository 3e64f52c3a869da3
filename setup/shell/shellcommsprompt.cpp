#include "orvoshell/shellcommsprompt.h"

#include "orvoshell/shellmessages.h"

bool CShellCommsPrompt::RetryCancel(const std::string& text)
{
    return ShellMessage(m_owner, QString::fromStdString(text), QMessageBox::Retry | QMessageBox::Cancel,
                        QMessageBox::Critical) == QMessageBox::Retry;
}

void CShellCommsPrompt::Message(const std::string& text)
{
    ShellMessage(m_owner, QString::fromStdString(text), QMessageBox::Ok, QMessageBox::Critical);
}

bool CShellCommsPrompt::YesNo(const std::string& text)
{
    return ShellMessage(m_owner, QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::Critical) == QMessageBox::Yes;
}
