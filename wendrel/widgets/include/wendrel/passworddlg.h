// The login prompt: checks a typed password against the master password and
// the users of a CUserList and hands back the access level of the match.
#pragma once

#include <QDialog>
#include <QString>

#include "wendrel/export.h"

class CUserList;
class QLineEdit;
class QPushButton;

class WENDREL_API CPasswordDlg : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 16000 };

    // accessLevel receives 0 (full) or the matching user's restricted value on
    // OK and is left alone on Cancel. users may be null (master password only).
    CPasswordDlg(QWidget* parent, int* accessLevel, CUserList* users, const QString& caption);
    ~CPasswordDlg() override;

    // The password that always gives full access.
    static QString MasterPassword();

    QLineEdit* PasswordEdit() const { return m_edit; }
    QPushButton* OkButton() const { return m_ok; }

public slots:
    // Checks the password; a mismatch shows a message and ends with Cancel.
    void accept() override;

private slots:
    void OnPasswordChanged(const QString& text);

private:
    QLineEdit* m_edit;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QString m_password;
    int* m_accessLevel;
    CUserList* m_users;
    QString m_caption;
};
