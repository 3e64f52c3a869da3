// The differences between the document and the installation, as Compare
// with Installation found them, with Save As text.
#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

class CCompareDlg : public QDialog {
    Q_OBJECT
public:
    // lines: one difference each, already converted from the model's text.
    CCompareDlg(QWidget* parent, const QStringList& lines);

    QListWidget* List() const { return m_list; }
    QPushButton* SaveButton() const { return m_save; }

    // Writes the lines to path, one a line; false (with a message) on failure.
    bool SaveTo(const QString& path);

private:
    void OnSaveAs();

    QStringList m_lines;
    QListWidget* m_list;
    QPushButton* m_save;
};
