// The About box: version and file of the program and of the Wendrel library.
#pragma once

#include <QDialog>

class QLineEdit;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QLineEdit* ProgramVersion() const { return m_programVersion; }
    QLineEdit* ProgramDescription() const { return m_programDescription; }
    QLineEdit* LibraryVersion() const { return m_libraryVersion; }
    QLineEdit* LibraryDescription() const { return m_libraryDescription; }

private:
    QLineEdit* m_programVersion;
    QLineEdit* m_programDescription;
    QLineEdit* m_libraryVersion;
    QLineEdit* m_libraryDescription;
};
