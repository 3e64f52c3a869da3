// The engineer's service dialogs: Real Time Clock, the hand-made test
// message, the key-tag search, the EMC counter and the add-on module setup.
// The exchanges live in orvoprocedures; these bind controls to them, over
// a link on the session they are given.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

#include "wendrel/buslink.h"

class COrvoSerialConnection;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
namespace Ui {
class CTestDlg;
}

class CRtcDlg : public QDialog {
public:
    CRtcDlg(COrvoSerialConnection* session, QWidget* parent = nullptr);
    void OnGet();
    void OnSync();

private:
    CSessionLink m_link;
    QLineEdit* m_deck;
    QPushButton* m_get;
    QLabel* m_result;
};

class CTestDlg : public QDialog {
public:
    CTestDlg(COrvoSerialConnection* session, QWidget* parent = nullptr);
    ~CTestDlg() override;
    void OnSend();

private:
    std::unique_ptr<Ui::CTestDlg> m_ui;
    CSessionLink m_link;
    QComboBox* m_message;
    QLineEdit* m_srcDeck;
    QLineEdit* m_srcNode;
    QComboBox* m_srcType;
    QLineEdit* m_dstDeck;
    QLineEdit* m_dstNode;
    QComboBox* m_dstType;
    QLineEdit* m_count;
    std::array<QLineEdit*, 12> m_params{};
};

class CTestRfidTagDlg : public QDialog {
public:
    CTestRfidTagDlg(COrvoSerialConnection* session, QWidget* parent = nullptr);
    void OnCheck();

private:
    CSessionLink m_link;
    QLineEdit* m_tag;
    QPushButton* m_check;
    QLabel* m_result;
};

class CEMCTestInfo : public QDialog {
public:
    CEMCTestInfo(COrvoSerialConnection* session, QWidget* parent = nullptr);
    // One poll, as the timer runs it every second.
    void OnTimer();

private:
    CSessionLink m_link;
    QLabel* m_value;
    QTimer* m_timer;
};

class CKX7SetupDlg : public QDialog {
public:
    CKX7SetupDlg(COrvoSerialConnection* session, QWidget* parent = nullptr);
    void OnSend();

private:
    CSessionLink m_link;
    QLineEdit* m_doors;
    QRadioButton* m_modes[3];
    QPushButton* m_send;
};
