#include "orvoshell/treesearchbar.h"

#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/treesearch.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

CTreeSearchBar::CTreeSearchBar(CSetupDoc* doc, COrvoTreeView* view, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_view(view)
{
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("treeSearch"));
    m_field->setPlaceholderText(QStringLiteral("Find deck, door, flat or key tag (Ctrl+F)"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("treeSearchStatus"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status);
    // Each change of the text starts again from the top of the tree.
    connect(m_field, &QLineEdit::textEdited, this, [this] { Find(true, false); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
}

void CTreeSearchBar::Activate()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

bool CTreeSearchBar::FindNext(bool backward)
{
    return Find(false, backward);
}

bool CTreeSearchBar::Find(bool fromTop, bool backward)
{
    const QString query = m_field->text().trimmed();
    if (query.isEmpty()) {
        m_status->clear();
        return false;
    }
    const CTreeSearch search(*m_doc->System());
    const NodeInfo* from = fromTop ? nullptr : m_view->SelectedNode();
    const NodeInfo* found = search.Next(query, from, backward);
    QTreeWidgetItem* item = found ? m_view->ItemOf(*found) : nullptr;
    QString message;
    if (!item) {
        message = QStringLiteral("No match for \u201C%1\u201D").arg(query);
    } else {
        for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
            up->setExpanded(true);
        m_view->setCurrentItem(item);
        m_view->scrollToItem(item);
        const std::vector<TreeSearchMatch> all = search.FindAll(query);
        int position = 0;
        while (position < static_cast<int>(all.size()) && all[position].node != found)
            ++position;
        message = QStringLiteral("Match %1 of %2").arg(position + 1).arg(all.size());
    }
    m_status->setText(message);
    emit searched(message);
    return item != nullptr;
}

bool CTreeSearchBar::eventFilter(QObject* watched, QEvent* event)
{
    // Escape hands the keyboard back to the tree, on the match.
    if (watched == m_field && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_view->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
