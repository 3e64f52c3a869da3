// One QApplication per test process, with settings and user data kept in a
// temporary folder of its own.
#pragma once

#include <QString>

class QApplication;

QApplication* TestApp();
// The process's private folder; settings and the data location live below it.
QString TestRoot();
