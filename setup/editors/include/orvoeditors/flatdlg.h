// The flat editor in its two forms (with and without key tags) and the
// controls it uses: the address edit that takes only the system's valid
// key characters, the key-tag number edit and the tag colour list.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include <array>
#include <memory>

class COrvoSystem;
class CDeck;
class CFlat;
class QCheckBox;

namespace Ui {
class CFlatWithRfidTagsDlg;
}

// Upper-case address entry; a printable character that is not a valid key
// is refused with the error beep, editing keys pass.
class CFlatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFlatEdit(QWidget* parent = nullptr);
    void SetValidKeys(const QString& keys) { m_validKeys = keys; }

signals:
    void focusChanged(bool hasFocus);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_validKeys;
};

// Key-tag number entry: up to ten hexadecimal digits shown in capitals. A
// character typed into a full field first clears it; Enter in a full field
// asks for the next number edit.
class CRfidNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CRfidNumberEdit(QWidget* parent = nullptr);

signals:
    void enterWhenFull();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The eleven tag colours, exchanged as an index.
class CRfidColourComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CRfidColourComboBox(QWidget* parent = nullptr);
    void Fill(int colour);
};

// What both forms share: address, X-input, title, OK storing into the flat.
class CFlatDlgBase : public QDialog {
    Q_OBJECT
public:
    CFlatEdit* addressEdit() const { return m_address; }
    QComboBox* xInputCombo() const { return m_xInput; }

protected:
    CFlatDlgBase(QWidget* parent, COrvoSystem* system, CDeck* deck, CFlat* flat);
    // Loads address and X-input, sets the title and the valid keys.
    void LoadCommon();
    void StoreCommon();

    COrvoSystem* m_system;
    CDeck* m_deck;
    CFlat* m_flat;
    CFlatEdit* m_address = nullptr; // created by each form
    QComboBox* m_xInput = nullptr;
};

class CFlatDlg : public CFlatDlgBase {
    Q_OBJECT
public:
    CFlatDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, CFlat* flat);
    void accept() override;

private:
    QCheckBox* m_spareOption; // kept hidden, never exchanged
};

class CFlatWithRfidTagsDlg : public CFlatDlgBase {
    Q_OBJECT
public:
    CFlatWithRfidTagsDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, CFlat* flat);
    ~CFlatWithRfidTagsDlg() override;
    void accept() override;

    CRfidNumberEdit* numberEdit(int key) const { return m_numbers[key]; }
    CRfidColourComboBox* colourCombo(int key) const { return m_colours[key]; }
    bool AddressHasFocus() const { return m_addressHasFocus; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::CFlatWithRfidTagsDlg> m_ui;
    std::array<CRfidNumberEdit*, 10> m_numbers{};
    std::array<CRfidColourComboBox*, 10> m_colours{};
    bool m_addressHasFocus = false;
};
