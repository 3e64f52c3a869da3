// The event-log dialogs: Logging (count, download, clear one deck's log), the
// modeless view of a download (filters, sorting, .log and CSV export) and the
// log-memory test. The exchanges live in orvoprocedures; these bind controls.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

#include "orvoprocedures/eventcharts.h"
#include "orvoprocedures/eventlog.h"
#include "orvoprocedures/servicetools.h"
#include "wendrel/buslink.h"

class COrvoSerialConnection;
class CEventTableModel;
class CEventFilterModel;
class CEventChartsPanel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
namespace Ui {
class CLogging2ViewDlg;
class CTestLoggingDlg;
} // namespace Ui

class CLogging2Dlg : public QDialog {
public:
    CLogging2Dlg(COrvoSerialConnection* session, QWidget* parent = nullptr);

    // The Check, Download and Clear Log buttons.
    void OnCheck();
    void OnDownload();
    void OnClearLog();

    // Ends the dialog, which takes its download windows with it: each one
    // not exported is asked about first; Cancel keeps everything open.
    void done(int result) override;

private:
    void DeckChanged();
    bool DeckNumber(int* deck) const;

    CSessionLink m_link;
    CEventLogReader m_reader;
    QLineEdit* m_deck;
    QLabel* m_result;
    QPushButton* m_check;
    QPushButton* m_download;
    QPushButton* m_clear;
    // Events each deck's last download brought, for clearing after it.
    std::map<int, int> m_downloaded;
};

class CLogging2ViewDlg : public QDialog {
public:
    // Takes the events; sorts them oldest first. Deletes itself when closed.
    // notDownloaded: events of the deck's log that are not in the list (no
    // reply, or the download was cancelled), shown so the gap is not hidden.
    CLogging2ViewDlg(COrvoEventList events, int deck, QWidget* parent = nullptr, int notDownloaded = 0);
    ~CLogging2ViewDlg() override;

    // Asks for a file name and writes the .log (csv false) or CSV file; true
    // when written.
    bool Export(bool csv = false);
    bool Saved() const { return m_saved; }
    const COrvoEventList& Events() const { return m_events; }
    CEventFilterModel* Filter() const { return m_filter; }

    // The charts follow the filters: a change schedules one update, however
    // many come in a row. UpdateCharts does it at once.
    CEventChartsPanel* Charts() const { return m_charts; }
    const CEventChartData& ChartData() const { return m_chartData; }
    void UpdateCharts();
    // Shows only the events of those days (a click on their bar).
    void ShowDates(const QDate& first, const QDate& last);

    // The save-file question: (parent, caption, filter, default suffix) to a
    // path, "" when cancelled. Tests replace it; null restores the file dialog.
    using FileChooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
    static void SetFileChooser(FileChooser chooser);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ApplyFilters();

    std::unique_ptr<Ui::CLogging2ViewDlg> m_ui;
    COrvoEventList m_events;
    int m_deck;
    int m_notDownloaded;
    bool m_saved = false;
    std::unique_ptr<CEventTableModel> m_table;
    CEventFilterModel* m_filter;
    QTableView* m_view;
    QLineEdit* m_text;
    QCheckBox* m_useDates;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QComboBox* m_door;
    QLabel* m_shown;
    CEventChartsPanel* m_charts;
    CEventChartData m_chartData;
    QTimer m_chartTimer;
};

class CTestLoggingDlg : public QDialog {
public:
    CTestLoggingDlg(COrvoSerialConnection* session, QWidget* parent = nullptr);
    ~CTestLoggingDlg() override;

    void OnCheck();
    void OnWrite();
    void OnRead();

private:
    void DeckChanged();
    void UpdateControls();

    std::unique_ptr<Ui::CTestLoggingDlg> m_ui;
    CSessionLink m_link;
    CLogMemoryTest m_test;
    bool m_checked = false;
    QLineEdit* m_deck;
    QPushButton* m_check;
    QLabel* m_firmware;
    QCheckBox* m_lock;
    QLineEdit* m_writeLocation;
    QLineEdit* m_writeValue;
    QPushButton* m_write;
    QLineEdit* m_readLocation;
    QLabel* m_readValue;
    QPushButton* m_read;
    QLabel* m_info;
};
