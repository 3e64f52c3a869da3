#include "progresshost.h"

#include "orvoshell/shellmessages.h"

CProgressHost::CProgressHost(QWidget* owner, const QString& title) : m_owner(owner), m_wnd(owner, title) {}

void CProgressHost::SetRange(int lower, int upper)
{
    m_wnd.SetRange(lower, upper);
}

void CProgressHost::SetPos(int pos)
{
    m_wnd.SetPos(pos);
    m_wnd.PeekAndPump();
}

void CProgressHost::SetText(const std::string& text)
{
    m_wnd.SetText(QString::fromLatin1(text));
}

RetryAnswer CProgressHost::AskRetry(const std::string& text, int)
{
    switch (ShellMessage(m_owner, QString::fromLatin1(text),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Critical,
                         QString())) {
    case QMessageBox::Yes:
        return RetryAnswer::Yes;
    case QMessageBox::No:
        return RetryAnswer::No;
    default:
        return RetryAnswer::Cancel;
    }
}

void CProgressHost::ConnectionLost(const std::string& text)
{
    ShellMessage(m_owner, QString::fromLatin1(text), QMessageBox::Ok, QMessageBox::Critical,
                 QStringLiteral("Error"));
}
