// The access-areas editor of one deck: twenty areas (ranges of flat numbers
// with their flags), sixteen global exceptions, and per door whether it
// serves all areas, which ones, and the global exceptions. The controls are
// bound to the deck itself: OK stores field by field and stops at the first
// that fails its check, the fields before it staying stored.
#pragma once

#include <QDialog>

#include <memory>

#include "orvomodel/deckcapabilities.h"

class CDeck;
class QCheckBox;
class QLineEdit;

namespace Ui {
class CDoorAccessDlg;
}

class CDoorAccessDlg : public QDialog {
    Q_OBJECT
public:
    CDoorAccessDlg(QWidget* parent, CDeck* deck);
    ~CDoorAccessDlg() override;

    // Whether OK started storing into the deck (even if it stopped at a bad field).
    bool StoredAnything() const { return m_stored; }

    void accept() override;

    // Controls by area (0-19), exception (0-15), door (0-15), field (0-7).
    QLineEdit* fromEdit(int area) const { return m_from[area]; }
    QLineEdit* toEdit(int area) const { return m_to[area]; }
    QCheckBox* oddEvenBox(int area) const { return m_oddEven[area]; }
    QCheckBox* permitKeysBox(int area) const { return m_keys[area]; }
    QCheckBox* permitCallsBox(int area) const { return m_calls[area]; }
    QLineEdit* globalEdit(int slot) const { return m_global[slot]; }
    QCheckBox* allAreasBox(int door) const { return m_allAreas[door]; }
    QLineEdit* areaEdit(int door, int field) const { return m_areas[door][field]; }
    QCheckBox* globalBox(int door) const { return m_globalAccess[door]; }

private:
    void ApplyEnabling(int door);
    // Reads a whole number within [low, high]; on failure shows the message,
    // focuses the edit and returns false.
    bool ReadInt(QLineEdit* edit, int low, int high, int* value);

    std::unique_ptr<Ui::CDoorAccessDlg> m_ui;
    CDeck* m_deck;
    DeckFirmware m_firmware;
    bool m_stored = false;
    QLineEdit* m_from[20] = {};
    QLineEdit* m_to[20] = {};
    QCheckBox* m_oddEven[20] = {};
    QCheckBox* m_keys[20] = {};
    QCheckBox* m_calls[20] = {};
    QLineEdit* m_global[16] = {};
    QCheckBox* m_allAreas[16] = {};
    QLineEdit* m_areas[16][8] = {};
    QCheckBox* m_globalAccess[16] = {};
};
