#include <gtest/gtest.h>

#include "testenv.h"
#include "wendrel/windowhelpers.h"

namespace {

class ServicesHelpers : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(ServicesHelpers, SetCurDataSelectsTheFirstMatch)
{
    CComboBox2 combo;
    EXPECT_EQ(combo.GetCurData(), -1);
    EXPECT_EQ(combo.SetCurData(0), -1);
    combo.AddItem("a", 7);
    combo.AddItem("b", 3);
    combo.AddItem("c", 7);
    combo.AddItem("d", -1);
    EXPECT_EQ(combo.SetCurData(7), 0);
    EXPECT_EQ(combo.GetCurData(), 7);
    EXPECT_EQ(combo.SetCurData(3), 1);
    EXPECT_EQ(combo.SetCurData(42), -1);
    EXPECT_EQ(combo.currentIndex(), -1);
    // No selection reads -1 whatever data the items carry.
    EXPECT_EQ(combo.GetCurData(), -1);
    EXPECT_EQ(combo.SetCurData(-1), 3);
    EXPECT_EQ(combo.GetCurData(), -1);
    EXPECT_EQ(combo.currentIndex(), 3);

    // An item added without data reads as 0 and is found again by 0.
    combo.addItem("no data");
    combo.setCurrentIndex(4);
    const int read = combo.GetCurData();
    EXPECT_EQ(read, 0);
    combo.setCurrentIndex(-1);
    EXPECT_EQ(combo.SetCurData(read), 4);
}

TEST_F(ServicesHelpers, DataExchangeGoesBothWays)
{
    CComboBox2 combo;
    combo.AddItem("Off", 0);
    combo.AddItem("On", 1);
    int value = 1;
    DDX_CBData(false, &combo, value);
    EXPECT_EQ(combo.currentIndex(), 1);
    combo.setCurrentIndex(0);
    DDX_CBData(true, &combo, value);
    EXPECT_EQ(value, 0);
    value = 9;
    DDX_CBData(false, &combo, value);
    EXPECT_EQ(combo.currentIndex(), -1);
    DDX_CBData(true, &combo, value);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(combo.Initialise(), 0);
}

TEST_F(ServicesHelpers, ListKeepsOneFullRowSelection)
{
    CListCtrl2 list;
    list.setColumnCount(2);
    EXPECT_EQ(list.GetSelection(), -1);
    for (int i = 0; i < 3; ++i)
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{QString::number(i), "x"}));
    list.SetSelection(2);
    EXPECT_EQ(list.GetSelection(), 2);
    list.SetSelection(1);
    EXPECT_EQ(list.GetSelection(), 1);
    EXPECT_EQ(list.currentItem(), list.topLevelItem(1));
    list.SetSelection(9);
    EXPECT_EQ(list.GetSelection(), 1);
}

TEST_F(ServicesHelpers, TabPagesShowOnlyTheSelectedOne)
{
    QWidget dialog;
    CTabDlgCtrl tabs(&dialog);
    auto* first = new CTabDlg(101);
    first->setWindowTitle("General");
    auto* second = new CTabDlg(102);
    second->setWindowTitle("Doors");
    EXPECT_EQ(tabs.InsertItem(0, first), 0);
    EXPECT_EQ(tabs.InsertItem(1, second), 1);
    EXPECT_EQ(tabs.InsertItem(0, nullptr), -1);
    dialog.show();
    EXPECT_EQ(tabs.tabText(1), "Doors");
    EXPECT_EQ(tabs.GetTabDlg(1), second);
    EXPECT_EQ(tabs.GetTabDlg(5), nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(tabs.SetSelection(1), 0);
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->TemplateId(), 102);
}

TEST_F(ServicesHelpers, PageSizedToAForeignTabControl)
{
    QWidget dialog;
    dialog.resize(400, 300);
    QTabWidget tabs(&dialog);
    tabs.setGeometry(20, 30, 300, 200);
    tabs.addTab(new QWidget, "One");
    CTabDlg page;
    ASSERT_TRUE(page.Create(&dialog));
    EXPECT_FALSE(page.isVisible());
    page.SizeToTabCtrl(&tabs);
    QRect area = page.geometry();
    EXPECT_EQ(area.left(), 22);
    EXPECT_EQ(area.right(), 20 + 300 - 1 - 2);
    EXPECT_EQ(area.bottom(), 30 + 200 - 1 - 2);
    EXPECT_GT(area.top(), 30 + 2 + 2);
}

} // namespace
