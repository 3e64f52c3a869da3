// The relay editor: the settings of every channel of one relay unit, read from
// the unit when the editor opens and written to it on OK. It always works on
// the live unit and never changes the model.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

#include "orvoprocedures/relayunit.h"
#include "wendrel/buslink.h"

class CDeck;
class COrvoSerialConnection;
class COrvoSystem;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
struct RelayRecord;

namespace Ui {
class CRelayDlg;
}

class CRelayDlg : public QDialog {
    Q_OBJECT
public:
    // The unit's version and channel count come from the deck; extended: the
    // channels are reached with extended records (a unit found that way).
    // session: the open session (never null).
    CRelayDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, RelayRecord* relay,
              COrvoSerialConnection* session, bool extended);
    ~CRelayDlg() override;

    // Asks the unit and fills the panels of its channels; false (after the
    // message) when the unit did not answer, leaving every panel disabled.
    bool ReadUnit();

    // The panel of channel i (0-3): a group box holding the controls
    // "reverse", "address", "mode", "relayTime", "onDelay", "drLink",
    // "allowList" and "blockList".
    QGroupBox* Panel(int channel) const;
    int ListLength() const { return m_unit.ListLength(); }

public slots:
    // Checks the lists, writes every channel and closes; stays open when a
    // list holds a character the unit does not take or the unit is silent.
    void accept() override;

private:
    struct Channel {
        QGroupBox* box = nullptr;
        QCheckBox* reverse = nullptr;
        QComboBox *address = nullptr, *mode = nullptr, *relayTime = nullptr, *onDelay = nullptr,
                  *drLink = nullptr;
        QPlainTextEdit *allowList = nullptr, *blockList = nullptr;
        QLabel *allowMark = nullptr, *blockMark = nullptr; // "Incomplete", next to a list read in part
        RelayChannelSettings read;                         // as the unit reported it
        bool reverseTouched = false, allowTouched = false, blockTouched = false;
    };

    void BuildPanel(int i);
    void FillLists(int i);
    void ShowChannel(int i);
    // The settings of channel i as the controls give them.
    RelayChannelSettings Settings(int i) const;
    void UpdateReverseCaption(int i);
    void LimitList(QPlainTextEdit* edit);
    void ShowError(const QString& text);

    std::unique_ptr<Ui::CRelayDlg> m_ui;
    COrvoSystem* m_system;
    CDeck* m_deck;
    RelayRecord* m_relay;
    CSessionLink m_link;
    bool m_extended;
    int m_r;
    CRelayUnit m_unit;
    std::vector<Channel> m_channels;
    bool m_filling = false;
};
