// User administration and the options dialog.
//
// CUserListDlg edits a CUserList in place: the caller hands it a copy and
// keeps (and saves) that copy only when the dialog ends with OK. COptionsDlg
// takes the settings whole and hands them back whole after OK; the caller
// applies them.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

#include "orvoadmin/serialports.h"
#include "orvomodel/setupsettings.h"

class CUser;
class CUserList;
class QLineEdit;
class QTreeWidgetItem;

namespace Ui {
class CUserListDlg;
class CNewUserDlg;
class COptionsDlg;
} // namespace Ui

// The master password that grants administrator mode.
inline constexpr const char* kMasterPassword = "73519";

class CUserListDlg : public QDialog {
    Q_OBJECT
public:
    CUserListDlg(QWidget* parent, CUserList* users);
    ~CUserListDlg() override;

public slots:
    void OnNew();
    void OnEdit();
    void OnDelete();

private:
    void AddRow(CUser* user);
    void ShowRow(QTreeWidgetItem* row);
    static CUser* UserOf(const QTreeWidgetItem* row);

    std::unique_ptr<Ui::CUserListDlg> m_ui;
    CUserList* m_users;
};

// The details of one user; OK checks that the name and password are not
// another user's and has a changed password typed again.
class CNewUserDlg : public QDialog {
    Q_OBJECT
public:
    CNewUserDlg(QWidget* parent, const CUserList* users, const QString& name, const QString& password,
                int restricted);
    ~CNewUserDlg() override;

    QString Name() const;
    QString Password() const;
    int Restricted() const;

public slots:
    void accept() override;

private:
    void Refuse(const QString& text, QLineEdit* focus);
    // False (after a beep, with the field showing the text as it will be
    // stored) when the field holds a character the user database cannot.
    bool FitsCodePage(QLineEdit* field);

    std::unique_ptr<Ui::CNewUserDlg> m_ui;
    const CUserList* m_users;
    QString m_originalName;
    QString m_originalPassword;
};

// "Repeat Password": OK only while the field is not empty.
class CConfirmPasswordDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConfirmPasswordDlg(QWidget* parent);
    QString Password() const;

private:
    QLineEdit* m_password;
};

// The administrator check: OK with the master password, Cancel otherwise.
class CAccessPasswordDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAccessPasswordDlg(QWidget* parent);

public slots:
    void accept() override;

private:
    QLineEdit* m_password;
};

// The Comms, Orvo access and model settings (the others pass through).
class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    // loginLevel: the access level of the login; "Use Passwords" only at level 0.
    explicit COptionsDlg(QWidget* parent, const SetupSettings& settings = {}, int loginLevel = 0);
    ~COptionsDlg() override;

    // Puts the settings into the controls (exec does this first).
    void Load();
    int exec() override;

    // The settings as shown, with what OK took.
    const SetupSettings& Settings() const { return m_settings; }

public slots:
    void accept() override;

private:
    void ApplySearchRule();
    void OnAccessLevel(int index);
    void OnPortChosen();
    // The device named by the COM Port control's text ("" for a port number).
    QString DeviceOfText(const QString& text) const;
    // Fills the port list (stable names first), keeping what the control shows.
    void ShowPorts(const QList<SerialPortFacts>& ports);
    // Shows the system's ports again when they changed (adapters plugged in
    // or out while the dialog is open).
    void RefreshPorts();

    std::unique_ptr<Ui::COptionsDlg> m_ui;
    SetupSettings m_settings;
    int m_loginLevel;
    int m_administrator = 0;        // as the access level box stands
    QList<SerialPortFacts> m_ports; // as last shown
};

// A hint when the current user may not open the serial device (not in the
// dialout group); empty when it may, or when the device does not exist.
QString DevicePermissionHint(const QString& device);

// Whether the current user may read and write an existing device. The
// default asks the system (access(2)); root passes every such check, so
// tests put their own in place. nullptr restores the default.
using DeviceAccessCheck = bool (*)(const QString& device);
void SetDeviceAccessCheck(DeviceAccessCheck check);
