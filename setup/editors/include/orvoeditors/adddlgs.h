// The three add dialogs, each taking a list of numbers and ranges ("1,4-6"),
// and the system editor.
#pragma once

#include <QDialog>

#include <vector>

#include "orvomodel/editing.h"

class COrvoSystem;
class CDeck;
class QLineEdit;

// One edit bound to a text that lives for the whole run of the program. OK
// removes the spaces, checks the list and closes; Apply() then adds what the
// list names, showing its own messages after the dialog has closed.
class CAddNumbersDlg : public QDialog {
    Q_OBJECT
public:
    QLineEdit* numbersEdit() const { return m_edit; }
    const std::vector<NumberRange>& Ranges() const { return m_ranges; }

    void accept() override;
    // Applies the list; true when the model changed.
    virtual bool Apply() = 0;

protected:
    CAddNumbersDlg(QWidget* parent, const QString& title, const QString& label, QString* remembered);
    // A further check of the list before the dialog closes.
    virtual bool CheckList() { return true; }

    std::vector<NumberRange> m_ranges;

private:
    QLineEdit* m_edit;
    QString* m_remembered;
};

class CAddDeckDlg : public CAddNumbersDlg {
    Q_OBJECT
public:
    CAddDeckDlg(QWidget* parent, COrvoSystem* system);
    bool Apply() override;
    static QString& RememberedText();

protected:
    bool CheckList() override;

private:
    COrvoSystem* m_system;
};

class CAddFlatDlg : public CAddNumbersDlg {
    Q_OBJECT
public:
    CAddFlatDlg(QWidget* parent, CDeck* deck);
    bool Apply() override;
    static QString& RememberedText();

private:
    CDeck* m_deck;
};

class CAddDoorDlg : public CAddNumbersDlg {
    Q_OBJECT
public:
    CAddDoorDlg(QWidget* parent, CDeck* deck);
    bool Apply() override;
    static QString& RememberedText();

private:
    CDeck* m_deck;
};

// The system's description and valid key characters; OK also keeps the
// valid keys in the settings as the default of a new system.
class CSystemDlg : public QDialog {
    Q_OBJECT
public:
    CSystemDlg(QWidget* parent, COrvoSystem* system);
    QLineEdit* descriptionEdit() const { return m_description; }
    QLineEdit* validKeysEdit() const { return m_validKeys; }
    void accept() override;

private:
    COrvoSystem* m_system;
    QLineEdit* m_description;
    QLineEdit* m_validKeys;
};
