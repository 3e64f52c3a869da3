// The search field above the tree: typing selects the first match, Return
// and F3 the next one, Shift+F3 the previous one, wrapping round; the label
// beside the field says where the selection stands or that nothing matches.
#pragma once

#include <QWidget>

class COrvoTreeView;
class CSetupDoc;
class QLabel;
class QLineEdit;

class CTreeSearchBar : public QWidget {
    Q_OBJECT
public:
    CTreeSearchBar(CSetupDoc* doc, COrvoTreeView* view, QWidget* parent = nullptr);

    QLineEdit* Field() const { return m_field; }
    // Puts the keyboard in the field with its text selected (Ctrl+F).
    void Activate();
    // Selects the next (previous) match after the tree's current item.
    // False when nothing matches.
    bool FindNext(bool backward = false);

signals:
    // For the status bar: "Match 2 of 5" or "No match for ...".
    void searched(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Find(bool fromTop, bool backward);

    CSetupDoc* m_doc;
    COrvoTreeView* m_view;
    QLineEdit* m_field;
    QLabel* m_status;
};
