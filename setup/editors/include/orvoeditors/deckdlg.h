// The deck editor and its ring-tone editor with their two controls. Both
// work on the model only; the values reach the deck with the next write.
// The editors opened from the deck editor change its copy of the deck, which
// reaches the model only with the deck editor's OK.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include <memory>

class CDeck;

namespace Ui {
class CDeckDlg;
class CDeckRingtoneDlg;
} // namespace Ui

// The preset cadences as a drop-down list; each item carries its value,
// "Custom" none (-1).
class CRingtoneComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CRingtoneComboBox(QWidget* parent = nullptr);
    // Fills the list, selects "Custom", then the preset of value if any.
    void Fill(int value);
    int CurrentValue() const; // -1 for nothing or "Custom"
    bool IsCustom() const { return CurrentValue() == -1; }
};

// A custom cadence as 16 characters '0'/'1', most significant bit first.
class CRingtoneEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CRingtoneEdit(QWidget* parent = nullptr);
    void SetValue(int value); // -1 leaves the text alone
    int Value() const;
};

class CDeckRingtoneDlg : public QDialog {
    Q_OBJECT
public:
    CDeckRingtoneDlg(QWidget* parent, CDeck* deck);
    ~CDeckRingtoneDlg() override;

    CRingtoneComboBox* doorCombo() const;
    CRingtoneEdit* doorEdit() const;
    CRingtoneComboBox* conciergeCombo() const;
    CRingtoneEdit* conciergeEdit() const;

    void accept() override;

private:
    void Follow(CRingtoneComboBox* combo, CRingtoneEdit* edit);

    std::unique_ptr<Ui::CDeckRingtoneDlg> m_ui;
    CDeck* m_deck;
};

class CDeckDlg : public QDialog {
    Q_OBJECT
public:
    // administrator: the application runs in administrator mode.
    CDeckDlg(QWidget* parent, CDeck* deck, bool administrator);
    ~CDeckDlg() override;

    // Whether OK stored into the deck (its own fields and whatever the
    // editors opened from here changed; Cancel drops those too).
    bool ChangedModel() const { return m_changed; }

    void accept() override;

    // Opening the sub-editors; tests drive them through the buttons.
    void OnRingTones();
    void OnAccessAreas();

private:
    std::unique_ptr<Ui::CDeckDlg> m_ui;
    CDeck* m_deck;
    // The deck as the ring-tone and access-areas editors change it.
    std::unique_ptr<CDeck> m_copy;
    bool m_changed = false;
};
