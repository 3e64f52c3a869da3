#include "orvoshell/mainframe.h"

#include "orvoshell/aboutdlg.h"
#include "orvoshell/appstate.h"
#include "orvoshell/commandcontroller.h"
#include "orvoshell/commandids.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/reportdlg.h"
#include "orvoshell/setupdoc.h"
#include "orvoshell/treesearchbar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

const QString kGeometryKey = QStringLiteral("Settings/Main Window Geometry");

} // namespace

CMainFrame::CMainFrame(CAppState& state, CSetupDoc* doc) : m_state(state), m_doc(doc)
{
    // The search field sits above the tree.
    auto* centre = new QWidget(this);
    m_view = new COrvoTreeView(doc, centre);
    m_search = new CTreeSearchBar(doc, m_view, centre);
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(2);
    centreLayout->addWidget(m_search);
    centreLayout->addWidget(m_view, 1);
    setCentralWidget(centre);
    m_controller = new CCommandController(state, *doc, *m_view, this);
    m_view->SetCommandGate([controller = m_controller](int id) { return controller->IsEnabled(id); });
    connect(m_view, &COrvoTreeView::commandRequested, m_controller, &CCommandController::Run);

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(m_fileMenu, QStringLiteral("&New"), ID_FILE_NEW, QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(m_fileMenu, QStringLiteral("&Open..."), ID_FILE_OPEN, QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(m_fileMenu, QStringLiteral("&Save"), ID_FILE_SAVE, QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(m_fileMenu, QStringLiteral("Save &As..."), ID_FILE_SAVE_AS);
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, QStringLiteral("Import Key Tags..."), ID_FILE_IMPORT_KEY_TAGS);
    AddCommand(m_fileMenu, QStringLiteral("Export Key Tags..."), ID_FILE_EXPORT_KEY_TAGS);
    AddCommand(m_fileMenu, QStringLiteral("&Report..."), ID_FILE_REPORT);
    AddCommand(m_fileMenu, QStringLiteral("Restore Points..."), ID_FILE_RESTORE_POINTS);
    m_recentSeparator = m_fileMenu->addSeparator();
    m_recentEnd = m_fileMenu->addSeparator();
    m_exitAction =
        AddCommand(m_fileMenu, QStringLiteral("E&xit"), ID_APP_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Undo and Redo walk the document's history; the bus is not part of it.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    const QString busNote = QStringLiteral(
        " Writing to the installation is not undone: a restore point takes the installation back.");
    m_undoAction = doc->UndoStack()->createUndoAction(this, QStringLiteral("&Undo"));
    m_undoAction->setShortcuts(QKeySequence::Undo);
    m_undoAction->setStatusTip(QStringLiteral("Takes back the last change to the document.") + busNote);
    m_redoAction = doc->UndoStack()->createRedoAction(this, QStringLiteral("&Redo"));
    m_redoAction->setShortcuts(QKeySequence::Redo);
    m_redoAction->setStatusTip(QStringLiteral("Makes the last change taken back again.") + busNote);
    edit->addAction(m_undoAction);
    edit->addAction(m_redoAction);

    QMenu* orvo = menuBar()->addMenu(QStringLiteral("&Orvo"));
    AddCommand(orvo, QStringLiteral("&Read"), ID_ORVO_READ);
    AddCommand(orvo, QStringLiteral("&Check for Duplicates"), ID_ORVO_CHECK_DUPLICATES);
    AddCommand(orvo, QStringLiteral("&Write"), ID_ORVO_WRITE);
    AddCommand(orvo, QStringLiteral("Write C&hanges"), ID_ORVO_WRITE_CHANGES);
    AddCommand(orvo, QStringLiteral("Compare with &Installation..."), ID_ORVO_COMPARE);
    QMenu* configure = orvo->addMenu(QStringLiteral("Configure"));
    AddCommand(configure, QStringLiteral("KX7"), ID_CONFIGURE_KX7);
    AddCommand(configure, QStringLiteral("Door"), ID_CONFIGURE_DOOR);
    AddCommand(configure, QStringLiteral("Relay"), ID_CONFIGURE_RELAY);
    AddCommand(orvo, QStringLiteral("Re-Boot System"), ID_ORVO_REBOOT);
    AddCommand(orvo, QStringLiteral("Monitor"), ID_ORVO_MONITOR);
    AddCommand(orvo, QStringLiteral("&Logging"), ID_ORVO_LOGGING);
    // "R" belongs to Read: each mnemonic of a menu reaches one command.
    AddCommand(orvo, QStringLiteral("Real Time Cloc&k"), ID_ORVO_CLOCK);
    QMenu* test = orvo->addMenu(QStringLiteral("&Test"));
    AddCommand(test, QStringLiteral("&Logging"), ID_TEST_LOGGING);
    AddCommand(test, QStringLiteral("&Messaging"), ID_TEST_MESSAGING);
    AddCommand(test, QStringLiteral("RFID Tags"), ID_TEST_RFID);
    AddCommand(test, QStringLiteral("EMC"), ID_TEST_EMC);
    AddCommand(orvo, QStringLiteral("Options"), ID_ORVO_OPTIONS);
    orvo->addSeparator();

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QToolBar* toolBar = new QToolBar(QStringLiteral("Standard"), this);
    toolBar->setObjectName(QStringLiteral("mainToolBar"));
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar->setMovable(true);
    QAction* toolBarToggle = toolBar->toggleViewAction();
    toolBarToggle->setText(QStringLiteral("&Toolbar"));
    view->addAction(toolBarToggle);
    m_actions.insert(ID_VIEW_TOOLBAR, toolBarToggle);
    QAction* statusToggle = view->addAction(QStringLiteral("&Status Bar"));
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    m_actions.insert(ID_VIEW_STATUS_BAR, statusToggle);
    AddCommand(view, QStringLiteral("&Passwords"), ID_VIEW_PASSWORDS);
    view->addSeparator();
    QAction* find = view->addAction(QStringLiteral("&Find..."));
    find->setObjectName(QStringLiteral("findAction"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, m_search, &CTreeSearchBar::Activate);
    QAction* findNext = view->addAction(QStringLiteral("Find &Next"));
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    connect(findNext, &QAction::triggered, m_search, [this] { m_search->FindNext(false); });
    QAction* findPrevious = view->addAction(QStringLiteral("Find Pre&vious"));
    findPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(findPrevious, &QAction::triggered, m_search, [this] { m_search->FindNext(true); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, QStringLiteral("&About Setup..."), ID_APP_ABOUT);

    // The Upgrade Option's tool-bar button and its menu item are one action,
    // so the keyboard reaches it and the menu shows its state.
    QAction* upgrade = orvo->addAction(QStringLiteral("Upgrade Option"));
    upgrade->setCheckable(true);
    upgrade->setChecked(false);
    upgrade->setToolTip(QStringLiteral("Upgrade Option: erase RFID keys on next write"));
    connect(upgrade, &QAction::triggered, this, [this] { OnCommand(ID_UPGRADE_OPTION); });
    m_actions.insert(ID_UPGRADE_OPTION, upgrade);

    QStyle* st = style();
    Action(ID_FILE_NEW)->setIcon(st->standardIcon(QStyle::SP_FileIcon));
    Action(ID_FILE_OPEN)->setIcon(st->standardIcon(QStyle::SP_DialogOpenButton));
    Action(ID_FILE_SAVE)->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
    Action(ID_ORVO_READ)->setIcon(st->standardIcon(QStyle::SP_ArrowDown));
    Action(ID_ORVO_WRITE)->setIcon(st->standardIcon(QStyle::SP_ArrowUp));
    Action(ID_APP_ABOUT)->setIcon(st->standardIcon(QStyle::SP_MessageBoxInformation));
    Action(ID_ORVO_READ)->setToolTip(QStringLiteral("Read the installation"));
    Action(ID_ORVO_WRITE)->setToolTip(QStringLiteral("Write the installation"));

    toolBar->addAction(Action(ID_FILE_NEW));
    toolBar->addAction(Action(ID_FILE_OPEN));
    toolBar->addAction(Action(ID_FILE_SAVE));
    toolBar->addSeparator();
    toolBar->addAction(Action(ID_ORVO_READ));
    toolBar->addAction(Action(ID_ORVO_WRITE));
    toolBar->addSeparator();
    toolBar->addAction(Action(ID_APP_ABOUT));
    toolBar->addAction(upgrade);
    addToolBar(Qt::TopToolBarArea, toolBar);

    statusBar()->showMessage(QStringLiteral("Ready"));
    if (m_state.IsDemo()) {
        m_demoLabel = new QLabel(QStringLiteral("Demo installation on %1").arg(m_state.DemoDevice()), this);
        statusBar()->addPermanentWidget(m_demoLabel);
    } else {
        m_deviceLabel = new QLabel(this);
        m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
        statusBar()->addPermanentWidget(m_deviceLabel);
    }
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator), this);
        label->setEnabled(false);
        statusBar()->addPermanentWidget(label);
    }

    // Menus re-check their commands as they open, like update handlers.
    for (QMenu* menu : {m_fileMenu, orvo, configure, test, view, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    connect(doc, &CSetupDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(doc, &CSetupDoc::modifiedChanged, this, &QWidget::setWindowModified);
    connect(doc, &CSetupDoc::documentOpened, &state, &CAppState::AddToRecentFiles);
    connect(&state, &CAppState::recentFilesChanged, this, &CMainFrame::UpdateRecentFiles);
    connect(&state, &CAppState::accessLevelChanged, this, &CMainFrame::UpdateCommandStates);
    connect(&state, &CAppState::featuresChanged, this, &CMainFrame::UpdateCommandStates);
    connect(&state, &CAppState::settingsChanged, this, &CMainFrame::ShowSettings);
    connect(m_search, &CTreeSearchBar::searched, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(m_controller, &CCommandController::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(m_controller, &CCommandController::eraseTagsChanged, this,
            [this](bool erase) { Action(ID_UPGRADE_OPTION)->setChecked(erase); });

    // Size and place as the installer left them last time; the first time,
    // two thirds of the screen, in its middle.
    if (!restoreGeometry(m_state.WindowStore().value(kGeometryKey).toByteArray())) {
        const QRect free = screen()->availableGeometry();
        resize(free.width() * 2 / 3, free.height() * 2 / 3);
        move(free.center() - rect().center());
    }
    m_view->setFocus();
    ShowSettings();
    UpdateTitle();
    UpdateRecentFiles();
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::ShowSettings()
{
    const SetupSettings& settings = m_state.Settings();
    if (m_deviceLabel) {
        // The device the next command would open: "Device", else the port's.
        const bool portSet = !settings.device.empty() || settings.port > 0;
        m_deviceLabel->setText(portSet ? m_state.SessionDevice() : QStringLiteral("No serial device set"));
    }
    bool ignored = false;
    const double multiplier = settings.TimeoutMultiplier(&ignored);
    if (ignored)
        statusBar()->showMessage(QString::fromStdString(TimeoutIgnoredText(settings.timeout, multiplier)));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_doc->SaveModified(this)) {
        event->ignore();
        return;
    }
    m_state.WindowStore().setValue(kGeometryKey, saveGeometry());
    m_state.WindowStore().sync();
    event->accept();
}

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& text, int id, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(text);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::UpdateCommandStates()
{
    for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
        const int id = it.key();
        switch (id) {
        case ID_FILE_NEW:
        case ID_FILE_OPEN:
        case ID_FILE_SAVE:
        case ID_FILE_SAVE_AS:
        case ID_APP_EXIT:
        case ID_FILE_REPORT:
        case ID_APP_ABOUT:
        case ID_UPGRADE_OPTION:
        case ID_VIEW_TOOLBAR:
        case ID_VIEW_STATUS_BAR:
            it.value()->setEnabled(true);
            break;
        default:
            it.value()->setEnabled(m_controller->IsEnabled(id));
            break;
        }
    }
}

void CMainFrame::UpdateTitle()
{
    // "[*]" is where the desktop shows that there are unsaved changes.
    QString title = m_doc->Title() + QStringLiteral("[*] - Setup");
    if (m_state.IsDemo())
        title += QStringLiteral(" [Demo]");
    setWindowTitle(title);
    setWindowModified(m_doc->IsModified());
}

void CMainFrame::UpdateRecentFiles()
{
    for (QAction* action : m_recentActions) {
        m_fileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    const QStringList files = m_state.RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files.at(i);
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this);
        action->setToolTip(path);
        action->setData(ID_FILE_MRU_FIRST + i);
        connect(action, &QAction::triggered, this, [this, path] { OnOpenRecent(path); });
        m_fileMenu->insertAction(m_recentEnd, action);
        m_recentActions << action;
    }
    // The list sits between two separators; without entries one is enough.
    m_recentSeparator->setVisible(!files.isEmpty());
}

void CMainFrame::OnOpenRecent(const QString& path)
{
    if (!m_doc->SaveModified(this))
        return;
    // A vanished file opens as an empty installation, as any missing document does.
    m_doc->OnOpenDocument(path, this);
}

void CMainFrame::OnCommand(int id)
{
    switch (id) {
    case ID_FILE_NEW:
        if (m_doc->SaveModified(this))
            m_doc->OnNewDocument();
        break;
    case ID_FILE_OPEN:
        m_doc->OnFileOpen(this);
        break;
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
        m_doc->OnFileSave(this);
        break;
    case ID_APP_EXIT:
        close();
        break;
    case ID_FILE_REPORT: {
        CReportDlg report(*m_doc->System(), {QDate::currentDate(), QStringLiteral(ORVOSETUP_VERSION_TEXT)},
                          this);
        report.exec();
        break;
    }
    case ID_APP_ABOUT: {
        CAboutDlg about(this);
        about.exec();
        break;
    }
    default:
        m_controller->Run(id);
        break;
    }
}
