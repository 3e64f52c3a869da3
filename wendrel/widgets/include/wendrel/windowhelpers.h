// Small widgets that work with item data rather than text, a single-selection
// report list, a folder chooser and pages hosted in a tab control.
#pragma once

#include <QComboBox>
#include <QString>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

#include "wendrel/export.h"

// A combo box whose items carry an integer each (Qt::UserRole); an item
// added without one carries 0.
class WENDREL_API CComboBox2 : public QComboBox {
    Q_OBJECT
public:
    explicit CComboBox2(QWidget* parent = nullptr);
    // Called once when the owning dialog sets the box up; derived boxes fill
    // themselves here. Returns 0.
    virtual int Initialise();

    // Appends an item with its data; returns its index.
    int AddItem(const QString& text, int data);
    // The data of the selected item, or -1 when nothing is selected.
    int GetCurData() const;
    // Selects the first item whose data equals value and returns its index;
    // when none does, clears the selection and returns -1.
    int SetCurData(int value);
};

// Dialog data exchange through item data: saving reads the box into value,
// loading selects value in the box.
WENDREL_API void DDX_CBData(bool saveAndValidate, CComboBox2* combo, int& value);

// A report list with single, full-row selection that stays visible.
class WENDREL_API CListCtrl2 : public QTreeWidget {
    Q_OBJECT
public:
    explicit CListCtrl2(QWidget* parent = nullptr);
    // Index of the first selected row, or -1.
    int GetSelection() const;
    // Selects row and makes it current.
    void SetSelection(int row);
};

// Lets the user pick an existing folder. extraFlags are QFileDialog::Option
// bits added to ShowDirsOnly.
class WENDREL_API CFolderBrowse {
public:
    CFolderBrowse(QWidget* owner, const QString& title, int extraFlags = 0);
    CFolderBrowse(const CFolderBrowse&) = delete;
    CFolderBrowse& operator=(const CFolderBrowse&) = delete;
    // Shows the chooser; true with the chosen folder, false when cancelled.
    bool GetFolder(QString& path);

private:
    QWidget* m_owner;
    QString m_title;
    int m_flags;
};

class CTabDlgCtrl;

// One page of a tabbed dialog. Its window title is the tab's text.
class WENDREL_API CTabDlg : public QWidget {
    Q_OBJECT
public:
    explicit CTabDlg(int templateId = 0, QWidget* parent = nullptr);
    // Makes the page a hidden child of parent.
    bool Create(QWidget* parent);
    // Places the page over the page area of tabs, in tabs' parent coordinates.
    void SizeToTabCtrl(QTabWidget* tabs);
    int TemplateId() const { return m_templateId; }

private:
    int m_templateId;
};

// A tab control whose tabs each carry a CTabDlg page; only the selected page
// is shown.
class WENDREL_API CTabDlgCtrl : public QTabWidget {
    Q_OBJECT
public:
    explicit CTabDlgCtrl(QWidget* parent = nullptr);
    // The tab's text is the page's window title. Returns the new tab's index.
    int InsertItem(int index, CTabDlg* page);
    // Selects the tab at index, showing its page; returns the previous one.
    int SetSelection(int index);
    CTabDlg* GetTabDlg(int index) const;
};
