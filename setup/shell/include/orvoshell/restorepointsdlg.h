// File > Restore Points: the states kept before reads and writes, newest
// first, one of which the installer opens as the document.
#pragma once

#include <QDialog>

#include <vector>

#include <orvoprocedures/restorepoints.h>

class QPushButton;
class QTableWidget;

class CRestorePointsDlg : public QDialog {
    Q_OBJECT
public:
    CRestorePointsDlg(QWidget* parent, std::vector<RestorePointInfo> points);

    QTableWidget* Table() const { return m_table; }
    QPushButton* OpenButton() const { return m_open; }
    // The point chosen with Open; null before.
    const RestorePointInfo* Chosen() const;

private:
    std::vector<RestorePointInfo> m_points;
    QTableWidget* m_table;
    QPushButton* m_open;
    int m_chosen = -1;
};
