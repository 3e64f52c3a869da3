// The session's questions (port busy, no permission, adapter not found) as
// message boxes owned by the window that runs the command.
#pragma once

#include <wendrel/commsprompt.h>

class QWidget;

class CShellCommsPrompt : public ICommsPrompt {
public:
    void SetOwner(QWidget* owner) { m_owner = owner; }

    bool RetryCancel(const std::string& text) override;
    void Message(const std::string& text) override;
    bool YesNo(const std::string& text) override;

private:
    QWidget* m_owner = nullptr;
};
