// A scrolling area for the long forms of the editors (access areas, relay
// channels): it asks for the whole width of its contents, so that only the
// rows scroll, and for no more height than a laptop screen leaves, so that
// the dialog's buttons stay in reach.
#pragma once

#include <QScrollArea>

class CScreenFitScrollArea : public QScrollArea {
    Q_OBJECT
    // The tallest the area asks to be, in pixels; it never asks for more
    // than half the screen's free height either.
    Q_PROPERTY(int preferredMaximumHeight READ PreferredMaximumHeight WRITE SetPreferredMaximumHeight)
public:
    explicit CScreenFitScrollArea(QWidget* parent = nullptr);

    int PreferredMaximumHeight() const { return m_preferredMaximumHeight; }
    void SetPreferredMaximumHeight(int height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    // The width of the contents with the frame and a vertical scroll bar.
    int FullWidth(int contentWidth) const;

    int m_preferredMaximumHeight = 480;
};
