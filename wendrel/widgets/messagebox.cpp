#include "wendrel/messagebox.h"

#include <QApplication>
#include <cstdio>

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
    // Without a GUI (a command-line tool using the library) there is nobody
    // to ask: say it on stderr and take the most cautious answer.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
        for (QMessageBox::StandardButton cautious :
             {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Abort, QMessageBox::Ok})
            if (buttons & cautious)
                return cautious;
        return QMessageBox::NoButton;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

WendrelMessageBoxHandler SetWendrelMessageBoxHandler(WendrelMessageBoxHandler handler)
{
    WendrelMessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}
