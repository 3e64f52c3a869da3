// The Monitor window: the live list of the frames on the bus, polled from a
// 100 ms timer through the open session's link, with notes, export, the house-keeping
// filter, Sync RTC, Reset ORVO and the test tool; beyond that a pause of the
// list (reception goes on meanwhile), a live text filter and recording of the
// raw bytes for orvo-sim --replay.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "orvoprocedures/busload.h"
#include "orvoprocedures/busmonitor.h"
#include "wendrel/buslink.h"

class COrvoSerialConnection;
class IFeatureDialogs;
struct FeatureContext;
class QSortFilterProxyModel;
class CBusLoadPanel;
namespace Ui {
class CMonitorDlg;
}

// The rows of the list for a view: the texts are made only for the rows shown.
class CMonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CMonitorModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Append(const std::vector<MonitorEntry>& entries);
    void SetNote(int row, const std::string& note);
    void Clear();
    const CMonitorLog& Log() const { return m_log; }

private:
    CMonitorLog m_log;
};

class CMonitorDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 100;

    // context (when given): the login and the other features, for the
    // Test button (full access only, when the test tool is registered).
    CMonitorDlg(COrvoSerialConnection* session, QWidget* parent = nullptr,
                const FeatureContext* context = nullptr);
    ~CMonitorDlg() override;

    // Asks for the file of an export or a recording: a save dialog with the
    // caption, filter and default suffix given; "" when cancelled. Replaceable
    // so that scripted runs need no file dialog.
    using FileAsker = std::function<QString(QWidget* parent, const QString& caption, const QString& filter,
                                            const QString& suffix)>;
    void SetFileAsker(FileAsker asker) { m_askFile = std::move(asker); }

    CMonitorModel& Model() { return *m_model; }
    CBusMonitor& Monitor() { return m_monitor; }
    // Every decoded frame, hidden ones too, counts into the load; the chart
    // shows it once a second.
    static constexpr int kLoadRefreshMs = 1000;
    CBusLoad& Load() { return m_load; }
    CBusLoadPanel* LoadPanel() const;
    void UpdateLoad();
    // Frames received while the list is paused, shown on resume.
    size_t Waiting() const { return m_waiting.size(); }
    // Longest time one tick took so far, in milliseconds.
    double LongestTickMs() const { return m_longestTickMs; }

public slots:
    void OnTick();

private slots:
    void OnTest();
    void OnSyncRtc();
    void OnAddNote();
    void OnExport();
    void OnResetOrvo();
    void OnClear();
    void OnHouseKeeping(bool on);
    void OnPause(bool paused);
    void OnRecord(bool on);
    void OnFilter(const QString& text);

private:
    void ShowStatus();
    void StopRecording();

    std::unique_ptr<Ui::CMonitorDlg> m_ui;
    COrvoSerialConnection* m_session;
    CSessionLink m_link;
    CBusMonitor m_monitor;
    CBusLoad m_load;
    QTimer m_loadTimer;
    bool m_fullAccess = false;
    int m_accessLevel = 1;
    bool m_administrator = false;
    IFeatureDialogs* m_features = nullptr;
    CMonitorModel* m_model;
    QSortFilterProxyModel* m_filter;
    QTimer m_timer;
    std::vector<MonitorEntry> m_waiting;
    double m_longestTickMs = 0;
    bool m_lost = false;
    FileAsker m_askFile;
};

// The "Add Note" window: one text field in a group "Note", OK and Cancel.
class CNoteDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNoteDlg(QWidget* parent = nullptr);
    QString Text() const;

private:
    class QLineEdit* m_edit;
};
