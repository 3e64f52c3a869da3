#include "orvoshell/shellmessages.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

class DesktopMessages : public IShellMessages {
public:
    QMessageBox::StandardButton Show(QWidget* owner, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) override
    {
        QMessageBox box(icon, title, text, buttons, owner);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    QMessageBox::StandardButton ShowWithDefault(QWidget* owner, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                                QMessageBox::StandardButton defaultButton) override
    {
        QMessageBox box(icon, title, text, buttons, owner);
        box.setDefaultButton(defaultButton);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    bool OpenFile(const QString& path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

DesktopMessages g_desktopMessages;
IShellMessages* g_messages = nullptr;

} // namespace

IShellMessages& ShellMessages()
{
    return g_messages ? *g_messages : g_desktopMessages;
}

void SetShellMessages(IShellMessages* sink)
{
    g_messages = sink;
}
