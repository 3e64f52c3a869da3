// The selection shown before every read or write of the installation: which
// decks and which kinds of setting take part. It opens with the stored
// choices and hands back the choices to store ("System").
#pragma once

#include <orvomodel/setupsettings.h>
#include <orvoprocedures/readwriteparameters.h>

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;

class COrvoReadWriteDlg : public QDialog {
    Q_OBJECT
public:
    // readMode: read rather than write; systemForm: whole system rather than
    // one deck; stored: the choices the dialog opens with.
    COrvoReadWriteDlg(QWidget* parent, bool readMode, bool systemForm, const SetupSettings& stored = {});

    // The caller fills first/last (single deck) and writeSerialNumber before
    // exec(); OK leaves the chosen values here, Cancel leaves it untouched.
    CReadWriteParameters m_params;
    // The stored choices with what OK took: the deck range only from the
    // system form, and not while a range of its own is in use.
    SetupSettings Selection() const { return m_stored; }

    int exec() override;
    void accept() override;

    // Controls, named for tests and keyboard navigation.
    QGroupBox* frame() const { return m_frame; }
    QLineEdit* firstEdit() const { return m_first; }
    QLineEdit* lastEdit() const { return m_last; }
    QCheckBox* flatAddressesBox() const { return m_flatAddresses; }
    QCheckBox* doorAccessBox() const { return m_doorAccess; }
    QCheckBox* rfidTagsBox() const { return m_rfidTags; }
    QCheckBox* doorSettingsBox() const { return m_doorSettings; }
    QCheckBox* relaysBox() const { return m_relays; }
    // The line shown in a write while the Upgrade Option erases key tags.
    QLabel* eraseWarning() const { return m_eraseWarning; }

    // Loads the remembered choices into the controls (done by exec()).
    void LoadChoices();

    // Starts the deck range at first-last instead of the stored one (the
    // demo installation has its own decks); the stored range stays as it is.
    void UseDeckRange(int first, int last);

private:
    void OnRfidClicked(bool checked);
    void ShowEraseWarning();
    bool TakeDeckNumber(QLineEdit* edit, int* value);

    SetupSettings m_stored;
    bool m_readMode;
    bool m_systemForm;
    bool m_loaded = false;
    bool m_ownRange = false;
    int m_ownFirst = 0;
    int m_ownLast = 0;
    QGroupBox* m_frame;
    QLineEdit* m_first;
    QLineEdit* m_last;
    QCheckBox* m_flatAddresses;
    QCheckBox* m_doorAccess;
    QCheckBox* m_rfidTags;
    QCheckBox* m_doorSettings;
    QCheckBox* m_relays;
    QLabel* m_eraseWarning;
};
