#include "wendrel/windowhelpers.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTabBar>

CComboBox2::CComboBox2(QWidget* parent) : QComboBox(parent) {}

int CComboBox2::Initialise()
{
    return 0;
}

int CComboBox2::AddItem(const QString& text, int data)
{
    addItem(text, data);
    return count() - 1;
}

int CComboBox2::GetCurData() const
{
    int index = currentIndex();
    if (index < 0)
        return -1;
    return itemData(index).toInt();
}

int CComboBox2::SetCurData(int value)
{
    // An item added without data carries 0, as GetCurData reads it, so a
    // value read back from the box always selects the same item again.
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).toInt() == value) {
            setCurrentIndex(i);
            return i;
        }
    }
    setCurrentIndex(-1);
    return -1;
}

void DDX_CBData(bool saveAndValidate, CComboBox2* combo, int& value)
{
    if (!combo)
        return;
    if (saveAndValidate)
        value = combo->GetCurData();
    else
        combo->SetCurData(value);
}

CListCtrl2::CListCtrl2(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
}

int CListCtrl2::GetSelection() const
{
    for (int row = 0; row < topLevelItemCount(); ++row)
        if (topLevelItem(row)->isSelected())
            return row;
    return -1;
}

void CListCtrl2::SetSelection(int row)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    setCurrentItem(item);
    item->setSelected(true);
}

CFolderBrowse::CFolderBrowse(QWidget* owner, const QString& title, int extraFlags)
    : m_owner(owner), m_title(title), m_flags(extraFlags)
{
}

bool CFolderBrowse::GetFolder(QString& path)
{
    QString chosen = QFileDialog::getExistingDirectory(
        m_owner, m_title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::Options(m_flags));
    if (chosen.isEmpty())
        return false;
    path = chosen;
    return true;
}

CTabDlg::CTabDlg(int templateId, QWidget* parent) : QWidget(parent), m_templateId(templateId)
{
    setVisible(false);
}

bool CTabDlg::Create(QWidget* parent)
{
    setParent(parent, Qt::Widget);
    setVisible(false);
    return true;
}

void CTabDlg::SizeToTabCtrl(QTabWidget* tabs)
{
    if (!tabs)
        return;
    // The page area: the control less the tab headers, inset by 2 pixels.
    QRect area = tabs->rect();
    int header = tabs->tabBar()->count() > 0 ? tabs->tabBar()->tabRect(0).height() : tabs->tabBar()->height();
    area.setTop(area.top() + header + 2);
    area.adjust(2, 2, -2, -2);
    QWidget* parent = parentWidget();
    if (parent && parent != tabs)
        area.moveTopLeft(parent->mapFromGlobal(tabs->mapToGlobal(area.topLeft())));
    setGeometry(area);
    raise();
}

CTabDlgCtrl::CTabDlgCtrl(QWidget* parent) : QTabWidget(parent) {}

int CTabDlgCtrl::InsertItem(int index, CTabDlg* page)
{
    if (!page)
        return -1;
    return insertTab(index, page, page->windowTitle());
}

int CTabDlgCtrl::SetSelection(int index)
{
    int previous = currentIndex();
    setCurrentIndex(index);
    return previous;
}

CTabDlg* CTabDlgCtrl::GetTabDlg(int index) const
{
    return qobject_cast<CTabDlg*>(widget(index));
}
