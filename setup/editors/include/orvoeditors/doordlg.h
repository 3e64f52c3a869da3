// The door editor ("Edit Door") and its five sub-editors. On line they read
// the panel when they open and write it on OK through CDoorPanel; off line
// they show and store the model's DoorRecord only.
#pragma once

#include <QDialog>

#include <memory>

#include "orvoprocedures/doorpanel.h"

class COrvoSerialConnection;
class COrvoSystem;
class CDeck;
struct DoorRecord;
class QLineEdit;
class CRfidNumberEdit;

namespace Ui {
class CDoorDlg;
class CDoorWelcomeScreenDlg;
class CDoorBlockSelectDlg;
class CDoorCustomTextDlg;
class CDoorProgKeysDlg;
class CDoorCodedAccessDlg;
} // namespace Ui

// What every door dialog works on.
struct DoorTarget {
    COrvoSystem* system = nullptr;
    CDeck* deck = nullptr;
    DoorRecord* door = nullptr;
    COrvoSerialConnection* session = nullptr;
    bool online = false;

    int DeckNumber() const;
    int DoorNumber() const;
    int Version() const; // the deck's doorVersions entry of the door
};

class CDoorDlg : public QDialog {
    Q_OBJECT
public:
    // administrator: the serial number may be edited.
    CDoorDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
             COrvoSerialConnection* session, bool online, bool administrator = false);
    ~CDoorDlg() override;

    int Version() const { return m_v; }
    // The list length of the allow and block lists.
    int ListLength() const { return m_listLength; }
    // Whether a sub-editor stored into the door (they do so on their own OK,
    // and the programming keys also when they are read on line).
    bool SubEditorChangedDoor() const { return m_subEditorChanged; }

public slots:
    void accept() override;

private slots:
    void OnModeChanged(int index);
    void OnWelcomeScreen();
    void OnBlockSelect();
    void OnCustomText();
    void OnProgKeys();
    void OnCodedAccess();

private:
    void Initialise();
    void ApplyModeEffects(bool opening);
    void LimitList(QObject* edit);
    bool ListValid(const QString& text) const;

    std::unique_ptr<Ui::CDoorDlg> m_ui;
    DoorTarget m_target;
    bool m_administrator;
    int m_v;
    int m_listLength;
    // Which values the panel gave (off line: all of them), and the
    // multi-line lists and the check box the installer has since changed.
    DoorPanelSettings m_read;
    bool m_allowTyped = false, m_blockTyped = false, m_reverseClicked = false;
    bool m_initialised = false;
    bool m_subEditorChanged = false;
};

class CDoorWelcomeScreenDlg : public QDialog {
    Q_OBJECT
public:
    CDoorWelcomeScreenDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                          COrvoSerialConnection* session, bool online);
    ~CDoorWelcomeScreenDlg() override;
public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::CDoorWelcomeScreenDlg> m_ui;
    DoorTarget m_target;
    QLineEdit* m_lines[4];
    bool m_read[4] = {true, true, true, true};
};

class CDoorBlockSelectDlg : public QDialog {
    Q_OBJECT
public:
    CDoorBlockSelectDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                        COrvoSerialConnection* session, bool online, int version);
    ~CDoorBlockSelectDlg() override;
public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::CDoorBlockSelectDlg> m_ui;
    DoorTarget m_target;
    int m_v;
    QLineEdit* m_blocks[10];
    bool m_read[10] = {true, true, true, true, true, true, true, true, true, true};
};

class CDoorCustomTextDlg : public QDialog {
    Q_OBJECT
public:
    CDoorCustomTextDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                       COrvoSerialConnection* session, bool online);
    ~CDoorCustomTextDlg() override;
public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::CDoorCustomTextDlg> m_ui;
    DoorTarget m_target;
    bool m_read[3] = {true, true, true};
};

class CDoorProgKeysDlg : public QDialog {
    Q_OBJECT
public:
    CDoorProgKeysDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                     COrvoSerialConnection* session, bool online);
    ~CDoorProgKeysDlg() override;
public slots:
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::CDoorProgKeysDlg> m_ui;
    DoorTarget m_target;
    CRfidNumberEdit* m_keys[10];
    bool m_read[10] = {true, true, true, true, true, true, true, true, true, true};
};

class CDoorCodedAccessDlg : public QDialog {
    Q_OBJECT
public:
    CDoorCodedAccessDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, DoorRecord* door,
                        COrvoSerialConnection* session, bool online, int mode);
    ~CDoorCodedAccessDlg() override;
    // The field of a code slot in the current layout.
    QLineEdit* SlotField(int slot) const;
public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::CDoorCodedAccessDlg> m_ui;
    DoorTarget m_target;
    int m_v;
    bool m_speedDial;
    QLineEdit* m_rows[15];
    bool m_read[15] = {true, true, true, true, true, true, true, true,
                       true, true, true, true, true, true, true};
};
