#include "wendrel/progresswnd.h"

#include "ansitext.h"
#include "wendrel/settingsstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {
QPointer<QWidget>& MainWindowRef()
{
    static QPointer<QWidget> mainWindow;
    return mainWindow;
}

// Edge widths of the classic 3-D frame the button and bar are measured in.
constexpr int kEdge = 2;
constexpr int kMargin = 10;
} // namespace

CProgressWnd::CProgressWnd()
{
    CommonConstruct();
}

CProgressWnd::CProgressWnd(QWidget* owner, const QString& title, bool smooth)
{
    CommonConstruct();
    m_owner = owner;
    m_title = title;
    Create(owner, title, smooth);
}

CProgressWnd::~CProgressWnd()
{
    DestroyWindow();
    if (m_owner) {
        m_owner->setEnabled(true);
        m_owner->activateWindow();
    }
}

void CProgressWnd::CommonConstruct()
{
    m_title = QStringLiteral("Progress");
    m_cancelText = QStringLiteral(" Cancel ");
}

void CProgressWnd::SetMainWindow(QWidget* mainWindow)
{
    MainWindowRef() = mainWindow;
}

QWidget* CProgressWnd::MainWindow()
{
    if (MainWindowRef())
        return MainWindowRef();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w))
            return w;
    return nullptr;
}

bool CProgressWnd::Create(QWidget* owner, const QString& title, bool smooth)
{
    Q_UNUSED(smooth); // Qt draws every bar as one continuous block.
    if (m_wnd || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    m_title = title;
    // Under a modal dialog Qt blocks every window outside it: a progress
    // window owned by the main window then could not be cancelled.
    QWidget* parent = owner;
    if (!parent)
        parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : MainWindow();

    auto* wnd = new QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                        Qt::WindowTitleHint);
    wnd->setObjectName(QStringLiteral("CProgressWnd"));
    wnd->setWindowTitle(m_title);
    wnd->setCursor(Qt::BusyCursor);
    wnd->setAutoFillBackground(true);
    wnd->setBackgroundRole(QPalette::Button);
    wnd->setFont(QApplication::font("QMessageBox"));

    m_text = new QLabel(wnd);
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(false);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_bar = new QProgressBar(wnd);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setTextVisible(false);
    m_cancel = new QPushButton(m_cancelText, wnd);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setFocusPolicy(Qt::StrongFocus);
    connect(m_cancel, &QPushButton::clicked, this, &CProgressWnd::OnCancel);

    m_wnd = wnd;
    wnd->installEventFilter(this);
    m_barPos = 0;
    m_bar->setRange(m_lower, std::max(m_upper, m_lower + 1));
    m_bar->setValue(std::clamp(m_pos, m_lower, std::max(m_upper, m_lower)));

    SetWindowSize(m_nNumTextLines, 390);
    if (m_persistSize)
        RestorePreviousSettings();
    else
        CenterOn(parent);

    wnd->show();
    if (m_owner) {
        m_owner->setEnabled(false);
        // A window inherits its owner's disabled state; this one must stay live.
        wnd->setEnabled(true);
    }
    return true;
}

bool CProgressWnd::GoModal(const QString& title, bool smooth)
{
    if (!m_wnd && !Create(MainWindow(), title, smooth))
        return false;

    QWidget* last = nullptr;
    QWidget* w = m_wnd->parentWidget() ? m_wnd->parentWidget()->window() : nullptr;
    while (w && w->isEnabled()) {
        last = w;
        w = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    }
    if (last) {
        last->setEnabled(false);
        m_modalDisabled = last;
    }
    m_wnd->setEnabled(true);
    m_modal = true;
    return true;
}

void CProgressWnd::SetRange(int lower, int upper, int step)
{
    if (!m_wnd)
        return;
    m_lower = lower;
    m_upper = upper;
    m_step = step;
    int lo = std::min(lower, upper), hi = std::max(lower, upper);
    m_barPos = std::clamp(m_barPos, lo, hi);
    // An empty range would make QProgressBar spin as "busy"; show it empty.
    if (hi > lo) {
        m_bar->setRange(lo, hi);
        m_bar->setValue(m_barPos);
    } else {
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
    }
}

int CProgressWnd::SetPos(int pos)
{
    if (!m_wnd)
        return m_pos;
    Show();
    m_pos = pos;

    int percent = 0;
    if (m_upper > m_lower)
        percent = static_cast<int>(static_cast<double>(pos - static_cast<double>(m_lower)) * 100.0 /
                                       (static_cast<double>(m_upper) - m_lower) +
                                   0.5);
    if (percent != m_percentShown)
        UpdatePercent(percent);

    int previous = m_barPos;
    int lo = std::min(m_lower, m_upper), hi = std::max(m_lower, m_upper);
    m_barPos = std::clamp(pos, lo, hi);
    if (hi > lo)
        m_bar->setValue(m_barPos);
    return previous;
}

int CProgressWnd::OffsetPos(int delta)
{
    return SetPos(m_pos + delta);
}

int CProgressWnd::StepIt()
{
    return SetPos(m_pos + m_step);
}

int CProgressWnd::SetStep(int step)
{
    int previous = m_step;
    m_step = step;
    return previous;
}

void CProgressWnd::SetText(const char* format, ...)
{
    if (!m_wnd || !format)
        return;
    char buffer[512];
    va_list args;
    va_start(args, format);
    // Bounded: an over-long text is cut rather than overrunning the buffer.
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    m_text->setText(wendrel::TextFromAnsi(buffer));
}

void CProgressWnd::SetText(const QString& text)
{
    if (!m_wnd)
        return;
    m_text->setText(text.left(511));
}

QString CProgressWnd::GetText() const
{
    return m_wnd ? m_text->text() : QString();
}

void CProgressWnd::UpdatePercent(int percent)
{
    m_percentShown = percent;
    m_wnd->setWindowTitle(QStringLiteral("%1 [%2%]").arg(m_title).arg(percent));
}

void CProgressWnd::PeekAndPump(bool cancelOnEscape)
{
    if (m_cancelled)
        return;
    if (m_modal && m_wnd && !m_wnd->isActiveWindow()) {
        m_wnd->activateWindow();
        m_wnd->setFocus();
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || m_pumping)
        return;
    m_cancelOnEscape = cancelOnEscape;
    m_pumping = true;
    app->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    app->removeEventFilter(this);
    m_pumping = false;
}

bool CProgressWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (m_wnd && watched == m_wnd && event->type() == QEvent::Close) {
        // Closing from the desktop is a cancel; the window itself stays ours.
        event->ignore();
        OnCancel();
        return true;
    }
    // Escape belongs to the job while it runs: it must not also reach a
    // dialog (which would close) or a shortcut of the disabled owner.
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (m_pumping && m_cancelOnEscape && keyEvent &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        OnCancel();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CProgressWnd::Show()
{
    if (!m_wnd)
        return;
    m_wnd->setAttribute(Qt::WA_ShowWithoutActivating);
    m_wnd->show();
}

void CProgressWnd::Hide()
{
    if (m_wnd)
        m_wnd->hide();
}

void CProgressWnd::Clear()
{
    if (!m_wnd)
        return;
    m_text->clear();
    m_pos = 0;
    m_barPos = std::clamp(0, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
    if (m_upper > m_lower)
        m_bar->setValue(m_barPos);
    m_cancelled = false;
    m_wnd->update();
}

void CProgressWnd::SetWindowSize(int lines, int width)
{
    m_nNumTextLines = lines;
    if (!m_wnd)
        return;
    QFontMetrics fm(m_wnd->font());
    QStringList ms;
    for (int i = 0; i < std::max(lines, 1); ++i)
        ms << QStringLiteral("M");
    int textHeight = fm.boundingRect(QRect(0, 0, width, 100000), Qt::AlignLeft, ms.join(u'\n')).height();

    QRect text(kMargin, kMargin, width, textHeight);
    int buttonWidth = fm.horizontalAdvance(m_cancelText + QStringLiteral("  ")) + 4 * kEdge;
    int buttonHeight = fm.height() + 3 * kEdge;
    QRect button(text.left() + text.width() - buttonWidth, text.top() + text.height() + kMargin, buttonWidth,
                 buttonHeight);
    QRect bar(text.left(), button.top() + kEdge, button.left() - kMargin - text.left(),
              buttonHeight - 2 * kEdge);

    m_text->setGeometry(text);
    m_bar->setGeometry(bar);
    m_cancel->setGeometry(button);
    m_wnd->setFixedSize(width + 2 * kMargin, textHeight + buttonHeight + 3 * kMargin);
}

void CProgressWnd::SaveCurrentSettings()
{
    if (!m_wnd)
        return;
    const std::unique_ptr<QSettings> store = CSettingsStore::Open();
    QSettings& settings = *store;
    settings.beginGroup(QStringLiteral("Settings"));
    settings.setValue(QStringLiteral("X"), m_wnd->pos().x());
    settings.setValue(QStringLiteral("Y"), m_wnd->pos().y());
}

void CProgressWnd::RestorePreviousSettings()
{
    const std::unique_ptr<QSettings> store = CSettingsStore::Open();
    QSettings& settings = *store;
    settings.beginGroup(QStringLiteral("Settings"));
    bool okX = false, okY = false;
    int x = settings.value(QStringLiteral("X"), -1).toInt(&okX);
    int y = settings.value(QStringLiteral("Y"), -1).toInt(&okY);
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize size = screen ? screen->geometry().size() : QSize();
    if (okX && okY && x >= 0 && x < size.width() && y >= 0 && y < size.height())
        m_wnd->move(x, y);
    else
        CenterOn(m_wnd->parentWidget());
}

void CProgressWnd::CenterOn(QWidget* over)
{
    if (!m_wnd)
        return;
    QRect area;
    if (over && over->isVisible())
        area = over->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    QSize size = m_wnd->frameGeometry().size().expandedTo(m_wnd->size());
    m_wnd->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void CProgressWnd::OnCancel()
{
    if (!m_wnd || m_cancelled)
        return;
    if (m_persistSize)
        SaveCurrentSettings();
    m_cancelled = true;
    Hide();
    if (m_modal)
        QMetaObject::invokeMethod(
            this, [this] { DestroyWindow(); }, Qt::QueuedConnection);
    if (QWidget* main = MainWindow()) {
        main->raise();
        main->activateWindow();
    }
}

bool CProgressWnd::DestroyWindow()
{
    if (!m_wnd)
        return false;
    if (m_persistSize)
        SaveCurrentSettings();
    if (m_modal) {
        if (m_modalDisabled)
            m_modalDisabled->setEnabled(true);
        m_modalDisabled = nullptr;
        m_modal = false;
    }
    QWidget* wnd = m_wnd;
    m_wnd = nullptr;
    m_text = nullptr;
    m_bar = nullptr;
    m_cancel = nullptr;
    wnd->removeEventFilter(this);
    wnd->hide();
    // Deferred: this may run from inside one of the window's own handlers.
    wnd->deleteLater();
    return true;
}
