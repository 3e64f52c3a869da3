// File > Report...: the preview opens on the document and saves it.
#include "installationtree.h"

#include "orvoshell/commandids.h"
#include "orvoshell/reportdlg.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

TEST_F(ShellTreeTest, reportDialog_previewsTheDocumentAndSavesHtmlAndPdf)
{
    BuildInstallation();
    system->decks[0].description = "Main & \xC9ntr\xE9\x65"; // Windows-1252 É and é
    QTemporaryDir dir;
    const QString html = dir.filePath(QStringLiteral("report.html"));
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));

    QString preview;
    std::string generated;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CReportDlg*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dlg);
        shown = true;
        preview = dlg->findChild<QTextBrowser*>(QStringLiteral("preview"))->toPlainText();
        generated = dlg->Html();
        QStringList asked;
        dlg->askFileName = [&](const QString&, const QString& filter, const QString&) {
            asked << filter;
            return filter.startsWith(QStringLiteral("PDF")) ? pdf : html;
        };
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("saveHtml")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("savePdf")), Qt::LeftButton);
        EXPECT_EQ(asked, (QStringList{"HTML Files (*.html *.htm)", "PDF Files (*.pdf)"}));
        dlg->reject();
    });
    QAction* report = app->Frame()->Action(ID_FILE_REPORT);
    ASSERT_TRUE(report);
    report->trigger();
    ASSERT_TRUE(shown);

    EXPECT_TRUE(preview.contains(QStringLiteral("Deck 0 \u2013 Main & \u00C9ntr\u00E9e")))
        << preview.toStdString();
    EXPECT_TRUE(preview.contains(QStringLiteral("Front")));
    EXPECT_TRUE(preview.contains(QStringLiteral("RLX4")));
    EXPECT_TRUE(preview.contains(QStringLiteral("305")));
    EXPECT_TRUE(preview.contains(QStringLiteral("No conflicts")));

    QFile saved(html);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), generated);
    QFile printed(pdf);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(printed.read(5) == "%PDF-");
    EXPECT_GT(printed.size(), 1000);
}
