// Every message box of the application goes through one sink, so that tests
// and scripted runs can answer the boxes instead of a person.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

class IShellMessages {
public:
    virtual ~IShellMessages() = default;
    // Shows text with the given buttons and icon; returns the button pressed.
    virtual QMessageBox::StandardButton Show(QWidget* owner, const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::Icon icon) = 0;
    // The same with defaultButton preselected, for questions whose safe
    // answer is not the first button. Sinks without a default use Show.
    virtual QMessageBox::StandardButton ShowWithDefault(QWidget* owner, const QString& title,
                                                        const QString& text,
                                                        QMessageBox::StandardButtons buttons,
                                                        QMessageBox::Icon icon,
                                                        QMessageBox::StandardButton defaultButton)
    {
        (void)defaultButton;
        return Show(owner, title, text, buttons, icon);
    }
    // Opens a file in the desktop's viewer for its type.
    virtual bool OpenFile(const QString& path) = 0;
};

// The sink in use; by default real message boxes and the desktop's opener.
IShellMessages& ShellMessages();
// Replaces the sink (nullptr restores the default); the caller keeps ownership.
void SetShellMessages(IShellMessages* sink);

// The application's name, the title of boxes "titled with the application's name".
inline QString AppTitle()
{
    return QStringLiteral("Setup");
}

inline QMessageBox::StandardButton ShellMessage(QWidget* owner, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::Icon icon = QMessageBox::NoIcon,
                                                const QString& title = AppTitle())
{
    return ShellMessages().Show(owner, title, text, buttons, icon);
}
