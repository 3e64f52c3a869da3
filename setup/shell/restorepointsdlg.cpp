#include "orvoshell/restorepointsdlg.h"

#include <orvomodel/modeltext.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CRestorePointsDlg::CRestorePointsDlg(QWidget* parent, std::vector<RestorePointInfo> points)
    : QDialog(parent), m_points(std::move(points))
{
    setWindowTitle(QStringLiteral("Restore Points"));
    auto* heading =
        new QLabel(m_points.empty()
                       ? QStringLiteral("No restore point has been kept yet: every read keeps one, and every "
                                        "write one of the decks it overwrites.")
                       : QStringLiteral("Open a point as the document, then write it to take the "
                                        "installation back."),
                   this);
    heading->setWordWrap(true);
    m_table = new QTableWidget(static_cast<int>(m_points.size()), 4, this);
    m_table->setObjectName(QStringLiteral("points"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("What"),
                                        QStringLiteral("Installation"), QStringLiteral("Decks")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < static_cast<int>(m_points.size()); ++row) {
        const RestorePointInfo& p = m_points[static_cast<size_t>(row)];
        const QStringList cells{QString::fromStdString(p.time), QString::fromStdString(p.event),
                                TextFromModel(p.installation), QString::fromStdString(p.decks)};
        for (int column = 0; column < cells.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    m_table->resizeColumnsToContents();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_open = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    m_open->setObjectName(QStringLiteral("openPoint"));
    m_open->setEnabled(false);
    connect(m_table, &QTableWidget::itemSelectionChanged, this,
            [this] { m_open->setEnabled(!m_table->selectedItems().isEmpty()); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int, int) { m_open->click(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const QList<QTableWidgetItem*> selected = m_table->selectedItems();
        if (selected.isEmpty())
            return;
        m_chosen = selected.first()->row();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(720, 420);
}

const RestorePointInfo* CRestorePointsDlg::Chosen() const
{
    return m_chosen < 0 ? nullptr : &m_points[static_cast<size_t>(m_chosen)];
}
