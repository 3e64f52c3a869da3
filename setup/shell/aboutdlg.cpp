#include "orvoshell/aboutdlg.h"

#include <wendrel/jversion.h>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Setup"));
    // Fields stay empty when a module carries no version.
    QString programVersion, programPath, libraryVersion, libraryPath;
    JVersion(nullptr, programVersion, programPath);
    JVersion(g_hLibInstance, libraryVersion, libraryPath);

    auto field = [this](const QString& text) {
        auto* edit = new QLineEdit(text, this);
        edit->setReadOnly(true);
        edit->setMinimumWidth(360);
        return edit;
    };
    m_programVersion = field(programVersion);
    m_programDescription = field(programPath);
    m_libraryVersion = field(libraryVersion);
    m_libraryDescription = field(libraryPath);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Orvo Setup version"), m_programVersion);
    form->addRow(QStringLiteral("Program"), m_programDescription);
    form->addRow(QStringLiteral("Wendrel version"), m_libraryVersion);
    form->addRow(QStringLiteral("Library"), m_libraryDescription);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Orvo Setup: configuration of Orvo door-entry systems"), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
}
