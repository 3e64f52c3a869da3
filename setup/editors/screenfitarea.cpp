#include "orvoeditors/screenfitarea.h"

#include <QScreen>
#include <QScrollBar>

#include <algorithm>

CScreenFitScrollArea::CScreenFitScrollArea(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void CScreenFitScrollArea::SetPreferredMaximumHeight(int height)
{
    m_preferredMaximumHeight = std::max(height, 0);
    updateGeometry();
}

int CScreenFitScrollArea::FullWidth(int contentWidth) const
{
    return contentWidth + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
}

QSize CScreenFitScrollArea::sizeHint() const
{
    const QWidget* contents = widget();
    if (!contents)
        return QScrollArea::sizeHint();
    const QSize wanted = contents->sizeHint();
    int height = std::min(wanted.height() + 2 * frameWidth(), m_preferredMaximumHeight);
    if (const QScreen* shown = screen())
        height = std::min(height, shown->availableGeometry().height() / 2);
    return {FullWidth(wanted.width()), height};
}

QSize CScreenFitScrollArea::minimumSizeHint() const
{
    const QWidget* contents = widget();
    if (!contents)
        return QScrollArea::minimumSizeHint();
    // Narrower than its contents it would scroll sideways as well; a few
    // rows are enough to work in.
    return {FullWidth(contents->minimumSizeHint().width()), 4 * fontMetrics().height()};
}
