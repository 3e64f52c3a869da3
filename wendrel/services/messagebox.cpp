#include "wendrel/messagebox.h"

namespace {
WendrelMessageBoxHandler& Handler()
{
    static WendrelMessageBoxHandler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton WendrelMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons, const QString& title)
{
    if (Handler())
        return Handler()(parent, title, text, icon, buttons);
    QMessageBox box(icon, title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

WendrelMessageBoxHandler SetWendrelMessageBoxHandler(WendrelMessageBoxHandler handler)
{
    WendrelMessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}
