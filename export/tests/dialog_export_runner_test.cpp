#include <gtest/gtest.h>

#include <QDateEdit>

#include <sstream>

#include "common/config.h"
#include "common/tests/test_files.h"
#include "events/event_database.h"
#include "events/tests/event_store_fixture.h"
#include "export/dialog_export_runner.h"
#include "export/tests/export_test_support.h"
#include "export/ui/tests/fake_dialog_services.h"
#include "export/ui/tests/fake_tray_area.h"
#include "tools/tests/sim_process.h"

namespace ixan::exporttool {
namespace {

// The dialog's Export click with the real export run behind it.
class DialogExportRunner : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = processConfig().global;
        db_ = dir_.file("ixan_log.db");
        ixan::test::writeFile(dir_.file("registry"), "mdb_path=" + db_ + "\n");
        processConfig().global = defaultGlobalSettings(ConfigReader::Export);
        processConfig().global.dsn = "nodsn";
        processConfig().global.log = dir_.file("ixansys.log");
    }
    void TearDown() override { processConfig().global = saved_; }

    // Sets both pickers and clicks Export with the save dialog answering path.
    std::vector<QString> exportTo(const QString& path, const QDate& from, const QDate& to) {
        ixan::testing::FakeTrayArea tray;
        ixan::testing::FakeDialogServices services;
        CEVexportDlg dialog(tray, services);
        dialog.setExportRunner(makeDialogExportRunner(dialog));
        const QList<QDateEdit*> pickers = dialog.findChildren<QDateEdit*>();
        EXPECT_EQ(pickers.size(), 2);
        if (pickers.size() == 2) {
            pickers[0]->setDate(from);
            pickers[1]->setDate(to);
        }
        services.saveAnswers.push_back(path);
        dialog.OnExport();
        return services.texts();
    }

    ixan::test::TempDir dir_;
    ixan::test::ScopedEnv registry_{"IXAN_REGISTRY", dir_.file("registry")};
    std::string db_;
    GlobalSettings saved_;
};

TEST_F(DialogExportRunner, AWrittenFileIsAnnounced) {
    const std::vector<EventRow> rows = test::generatedRows(5, "2007-03-05");
    test::createDatabaseWithRows(db_, rows);
    const std::string csv = dir_.file("events.csv");
    const auto shown = exportTo(QString::fromStdString(csv), QDate(2007, 3, 5), QDate(2007, 3, 9));
    EXPECT_EQ(shown, std::vector<QString>{QString::fromUtf8("Daten wurden Exportiert.")});
    EXPECT_EQ(ixan::test::readFile(csv), test::expectedCsv(rows));
}

// A database that pollwerk's store run filled from a simulated device's export, exported
// by the dialog in both formats: exactly the chosen day, and one message.
TEST_F(DialogExportRunner, ExportsTheSimulatedDevicesEventsOfTheChosenDays) {
    const auto exported = sim::test::runSim({"--print-export", "--events", "400", "--seed", "3"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    ASSERT_TRUE(ixan::test::createEventDatabase(db_));
    GlobalSettings store = defaultGlobalSettings(ConfigReader::Pollwerk);
    store.dsn = "nodsn";
    std::ostringstream progress;
    storeExport(exported.out, store, progress);

    // the device's log runs from the morning of 4 March into the 5th; drop the early
    // morning so that the chosen day has rows outside it on both sides
    {
        auto opened = openConnection(test::accessConnectionString(db_));
        ASSERT_TRUE(opened.status.ok);
        ASSERT_TRUE(opened.connection
                        ->execute("DELETE FROM Z_servicelog WHERE Datum < '2024-03-04 08:00:00'")
                        .ok);
    }
    std::vector<EventRow> want;
    std::size_t total = 0;
    {
        test::OpenedQuery q = test::queryDatabase(db_);
        ASSERT_TRUE(q.rows);
        for (; !q.rows->atEnd(); q.rows->next(), ++total) {
            EventRow r;
            const char* cols[] = {"IP",       "Datum",    "Tuername",     "Ausloeser",
                                  "Ereignis", "Benutzer", "Kartennummer", "Kartentyp"};
            std::string* fields[] = {&r.IP,       &r.Datum,    &r.Tuername,     &r.Ausloeser,
                                     &r.Ereignis, &r.Benutzer, &r.Kartennummer, &r.Kartentyp};
            for (int i = 0; i < 8; ++i) {
                ASSERT_TRUE(q.rows->getText(cols[i], *fields[i]).ok);
            }
            if (r.Datum <= "2024-03-04 23:59:59") {
                want.push_back(r);
            }
        }
    }
    ASSERT_GT(want.size(), 10u);
    ASSERT_LT(want.size(), total);

    const std::string csv = dir_.file("maerz.csv");
    EXPECT_EQ(exportTo(QString::fromStdString(csv), QDate(2024, 3, 4), QDate(2024, 3, 4)),
              std::vector<QString>{QString::fromUtf8("Daten wurden Exportiert.")});
    EXPECT_EQ(ixan::test::readFile(csv), test::expectedCsv(want));

    const std::string xls = dir_.file("maerz.xls");
    EXPECT_EQ(exportTo(QString::fromStdString(xls), QDate(2024, 3, 4), QDate(2024, 3, 4)),
              std::vector<QString>{QString::fromUtf8("Daten wurden Exportiert.")});
    EXPECT_EQ(test::checkXlsWithXlrd(xls, test::sheetTable(want), dir_), "");
}

// The run's own message reaches the dialog, and the success message does not follow.
TEST_F(DialogExportRunner, AFailureShowsOnlyItsOwnMessage) {
    const std::string csv = dir_.file("events.csv");  // no database file
    EXPECT_EQ(exportTo(QString::fromStdString(csv), QDate(2007, 3, 5), QDate(2007, 3, 9)),
              std::vector<QString>{
                  QString::fromUtf8("Beim Verbinden zur Datenbank ist ein Fehler aufgetreten.")});
    test::createDatabaseWithRows(db_, {});
    const std::string txt = dir_.file("events.txt");
    EXPECT_EQ(exportTo(QString::fromStdString(txt), QDate(2007, 3, 5), QDate(2007, 3, 9)),
              std::vector<QString>{QString::fromStdString("File type: '" + txt + "' unkown")});
}

}  // namespace
}  // namespace ixan::exporttool
