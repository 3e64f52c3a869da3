// What the editor dialog tests share: finding a control by its object name,
// pressing OK, and answering the next modal dialog once it shows.
#pragma once

#include <QApplication>
#include <QDialogButtonBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

template <typename T> T* Child(QWidget* dlg, const char* name)
{
    T* w = dlg->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w;
}

inline void PressOk(QWidget* dlg)
{
    auto* box = Child<QDialogButtonBox>(dlg, "buttonBox");
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

// Answers the next modal dialog of type T once it shows.
template <typename T> void WhenModal(std::function<void(T*)> action)
{
    QTimer::singleShot(0, [action] {
        auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dlg) {
            WhenModal<T>(action); // not shown yet
            return;
        }
        action(dlg);
    });
}
