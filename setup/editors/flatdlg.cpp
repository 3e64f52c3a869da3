#include "orvoeditors/flatdlg.h"

#include "editortext.h"
#include "orvomodel/editing.h"
#include "orvomodel/orvosystem.h"
#include "orvoshell/shellmessages.h"
#include "ui_flatwithrfidtagsdlg.h"

#include <QApplication>

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

bool IsEnter(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The character a key press types, or a null character for editing keys.
QChar TypedChar(const QKeyEvent* event)
{
    const QString text = event->text();
    if (text.size() != 1 || !text.at(0).isPrint())
        return QChar();
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QChar();
    return text.at(0);
}

// The same key press typing the capital letter.
QKeyEvent Capital(const QKeyEvent* event, QChar typed)
{
    return QKeyEvent(event->type(), event->key(), event->modifiers(), QString(typed.toUpper()));
}

// Ten hexadecimal digits, as a key tag number is complete.
bool IsTagNumberText(const QString& number)
{
    if (number.size() != kRfidLength)
        return false;
    for (QChar c : number)
        if (!RfidCharAccepted(c))
            return false;
    return true;
}

} // namespace

CFlatEdit::CFlatEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(4);
    // Pasted text obeys the same rules as typed text.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString kept;
        for (QChar c : text) {
            if (!AddressCharRefused(m_validKeys, c))
                kept += c.toUpper();
        }
        if (kept == text)
            return;
        if (kept.size() != text.size())
            QApplication::beep();
        const int cursor = cursorPosition() - int(text.size() - kept.size());
        setText(kept);
        setCursorPosition(std::max(0, cursor));
    });
}

void CFlatEdit::keyPressEvent(QKeyEvent* event)
{
    const QChar typed = TypedChar(event);
    if (typed.isNull()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (AddressCharRefused(m_validKeys, typed)) {
        QApplication::beep();
        event->accept();
        return;
    }
    QKeyEvent capital = Capital(event, typed);
    QLineEdit::keyPressEvent(&capital);
}

void CFlatEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit focusChanged(true);
}

void CFlatEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    emit focusChanged(false);
}

CRfidNumberEdit::CRfidNumberEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(kRfidLength);
    KeepUpperCase(this);
    ShowFormat(this, QString::fromLatin1(kKeyNumberPlaceholder), QString::fromLatin1(kKeyNumberToolTip));
}

void CRfidNumberEdit::keyPressEvent(QKeyEvent* event)
{
    if (IsEnter(event)) {
        if (text().size() == kRfidLength)
            emit enterWhenFull();
        else
            event->ignore(); // the dialog decides
        return;
    }
    const QChar typed = TypedChar(event);
    if (typed.isNull()) {
        QLineEdit::keyPressEvent(event); // Backspace and the editing keys
        return;
    }
    // A new number typed over a complete one starts afresh.
    if (text().size() >= kRfidLength)
        clear();
    if (RfidCharAccepted(typed)) {
        QKeyEvent capital = Capital(event, typed);
        QLineEdit::keyPressEvent(&capital);
    }
    event->accept();
}

CRfidColourComboBox::CRfidColourComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
}

void CRfidColourComboBox::Fill(int colour)
{
    clear();
    for (int i = 0; i < kTagColourCount; ++i)
        addItem(QString::fromLatin1(TagColourName(i)));
    setCurrentIndex(colour >= 0 && colour < kTagColourCount ? colour : -1);
}

CFlatDlgBase::CFlatDlgBase(QWidget* parent, COrvoSystem* system, CDeck* deck, CFlat* flat)
    : QDialog(parent), m_system(system), m_deck(deck), m_flat(flat)
{
}

void CFlatDlgBase::LoadCommon()
{
    ShowWhole(m_address, TextFromModel(m_flat->address), 4);
    setWindowTitle(QStringLiteral("Handset %1 [%2]")
                       .arg(m_flat->node.index + 1)
                       .arg(TextFromModel(m_deck->description)));
    m_xInput->clear();
    for (int i = 0; i < kAlarmInputCount; ++i)
        m_xInput->addItem(QString::fromLatin1(AlarmName(i)));
    m_xInput->setCurrentIndex(
        m_flat->alarmInput >= 0 && m_flat->alarmInput < kAlarmInputCount ? m_flat->alarmInput : -1);
    m_address->SetValidKeys(TextFromModel(m_system->validKeys));
}

void CFlatDlgBase::StoreCommon()
{
    // Four characters are typed at most; a longer stored address is kept as
    // it is shown rather than cut.
    m_flat->address = ModelTextOf(m_address);
    // An alarm type the list cannot show stays as it is.
    if (m_xInput->currentIndex() >= 0)
        m_flat->alarmInput = m_xInput->currentIndex();
}

CFlatDlg::CFlatDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, CFlat* flat)
    : CFlatDlgBase(parent, system, deck, flat)
{
    setWindowTitle(QStringLiteral("Edit Flat"));
    m_address = new CFlatEdit(this);
    m_address->setObjectName(QStringLiteral("addressEdit"));
    m_xInput = new QComboBox(this);
    m_xInput->setObjectName(QStringLiteral("xInputCombo"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Address"), m_address);
    form->addRow(QStringLiteral("X-Input"), m_xInput);
    layout->addLayout(form);
    m_spareOption = new QCheckBox(QStringLiteral("Spare Option"), this);
    m_spareOption->setObjectName(QStringLiteral("spareOptionBox"));
    m_spareOption->hide();
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadCommon();
}

void CFlatDlg::accept()
{
    StoreCommon();
    QDialog::accept();
}

CFlatWithRfidTagsDlg::CFlatWithRfidTagsDlg(QWidget* parent, COrvoSystem* system, CDeck* deck, CFlat* flat)
    : CFlatDlgBase(parent, system, deck, flat), m_ui(std::make_unique<Ui::CFlatWithRfidTagsDlg>())
{
    m_ui->setupUi(this);
    m_address = m_ui->addressEdit;
    m_xInput = m_ui->xInputCombo;
    for (int k = 0; k < kTagsPerFlat; ++k) {
        m_numbers[k] = findChild<CRfidNumberEdit*>(QStringLiteral("keyEdit%1").arg(k + 1));
        m_colours[k] = findChild<CRfidColourComboBox*>(QStringLiteral("colourCombo%1").arg(k + 1));
        Q_ASSERT(m_numbers[k] && m_colours[k]);
        connect(m_numbers[k], &CRfidNumberEdit::enterWhenFull, this, [this, k] {
            if (k + 1 < kTagsPerFlat)
                m_numbers[k + 1]->setFocus(Qt::TabFocusReason);
        });
    }
    // OK is an ordinary button: Enter closes the form only from the address edit.
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_address, &CFlatEdit::focusChanged, this, [this](bool in) { m_addressHasFocus = in; });

    for (int k = 0; k < kTagsPerFlat; ++k) {
        const RfidTag& tag = flat->tags[k];
        ShowWhole(m_numbers[k], tag.number == kNoRfid ? QString() : TextFromModel(tag.number), kRfidLength);
        m_colours[k]->Fill(tag.colour);
    }
    LoadCommon();
}

CFlatWithRfidTagsDlg::~CFlatWithRfidTagsDlg() = default;

void CFlatWithRfidTagsDlg::keyPressEvent(QKeyEvent* event)
{
    if (IsEnter(event)) {
        if (m_addressHasFocus)
            accept();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CFlatWithRfidTagsDlg::accept()
{
    // A number half typed would be dropped by the next save or write: say
    // which key it is and let the installer finish or clear it.
    for (int k = 0; k < kTagsPerFlat; ++k) {
        const QString number = m_numbers[k]->text();
        if (number.isEmpty() || IsTagNumberText(number))
            continue;
        ShellMessage(
            this,
            number.size() < kRfidLength
                ? QStringLiteral("Key %1 is incomplete: a key tag number has ten hexadecimal digits.")
                      .arg(k + 1)
                : QStringLiteral("Key %1 is invalid: a key tag number has ten hexadecimal digits.")
                      .arg(k + 1),
            QMessageBox::Ok, QMessageBox::Critical, QStringLiteral("Error"));
        m_numbers[k]->setFocus();
        m_numbers[k]->selectAll();
        return;
    }
    StoreCommon();
    for (int k = 0; k < kTagsPerFlat; ++k) {
        // Kept as typed: an empty edit gives an empty number, which the next
        // write sends as no key.
        m_flat->tags[k].number = ModelTextOf(m_numbers[k]);
        if (m_colours[k]->currentIndex() >= 0)
            m_flat->tags[k].colour = m_colours[k]->currentIndex();
    }
    QDialog::accept();
}
