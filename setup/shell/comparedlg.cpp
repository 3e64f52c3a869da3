#include "orvoshell/comparedlg.h"

#include "orvomodel/atomicfile.h"

#include "orvoshell/shellmessages.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CCompareDlg::CCompareDlg(QWidget* parent, const QStringList& lines) : QDialog(parent), m_lines(lines)
{
    setWindowTitle(QStringLiteral("Compare with Installation"));
    auto* heading = new QLabel(lines.isEmpty() ? QStringLiteral("The installation matches the document.")
                                               : QStringLiteral("%1 setting(s) differ from the document "
                                                                "(document -> installation):")
                                                     .arg(lines.size()),
                               this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("differences"));
    m_list->addItems(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_save = buttons->addButton(QStringLiteral("Save &As..."), QDialogButtonBox::ActionRole);
    m_save->setObjectName(QStringLiteral("saveAs"));
    m_save->setEnabled(!lines.isEmpty());
    connect(m_save, &QPushButton::clicked, this, &CCompareDlg::OnSaveAs);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(640, 400);
}

bool CCompareDlg::SaveTo(const QString& path)
{
    QByteArray text;
    for (const QString& line : m_lines)
        text += line.toUtf8() + '\n';
    std::string error;
    const bool saved = WriteFileAtomically(QFile::encodeName(path).toStdString(), text.toStdString(), &error);
    if (!saved)
        ShellMessage(this,
                     QStringLiteral("Unable to save %1\n%2").arg(path, QString::fromLocal8Bit(error.c_str())),
                     QMessageBox::Ok, QMessageBox::Warning);
    return saved;
}

void CCompareDlg::OnSaveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QString(),
                                                      QStringLiteral("Text files (*.txt);;All files (*)"));
    if (!path.isEmpty())
        SaveTo(path);
}
