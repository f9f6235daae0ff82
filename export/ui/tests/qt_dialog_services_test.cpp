#include "export/ui/qt_dialog_services.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "export/ui/export_resources.h"
#include "export/ui/tests/test_printers.h"

namespace ixan {
namespace {

// Runs answer on the modal window that the call under test opens; closes whatever is
// still open after ten seconds so that no test hangs.
template <typename Window>
void whenOpen(QWidget& owner, std::function<void(Window&)> answer) {
    QTimer::singleShot(0, &owner, [answer] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (window == nullptr) {
            ADD_FAILURE() << "no modal window of the expected kind";
            return;
        }
        answer(*window);
    });
    QTimer::singleShot(10000, &owner, [] {
        if (QWidget* open = QApplication::activeModalWidget()) {
            open->close();
        }
    });
}

TEST(QtDialogServices, MessageBoxHasCaptionOkOnlyAndNoIcon) {
    QWidget owner;
    owner.show();
    QtDialogServices services;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    whenOpen<QMessageBox>(owner, [&](QMessageBox& box) {
        caption = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
        parent = box.parentWidget();
        box.button(QMessageBox::Ok)->click();
    });
    services.showMessage(&owner, QStringLiteral("Daten wurden Exportiert."));
    EXPECT_EQ(caption, QStringLiteral("IXAN-Export"));
    EXPECT_EQ(text, QStringLiteral("Daten wurden Exportiert."));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(parent, &owner);
}

TEST(QtDialogServices, MessageShowsTheArrowOverABusyCursor) {
    QWidget owner;
    owner.show();
    QtDialogServices services;
    Qt::CursorShape during = Qt::WaitCursor;
    whenOpen<QMessageBox>(owner, [&](QMessageBox& box) {
        during = QApplication::overrideCursor()->shape();
        box.button(QMessageBox::Ok)->click();
    });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    services.showMessage(&owner, QStringLiteral("x"));
    EXPECT_EQ(during, Qt::ArrowCursor);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor) << "busy again after";
    QApplication::restoreOverrideCursor();
}

class SaveDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        owner.show();
    }

    std::optional<QString> ask(std::function<void(QFileDialog&)> answer) {
        whenOpen<QFileDialog>(owner, std::move(answer));
        return services.askSaveFileName(&owner, exportSaveRequest());
    }

    QString inFolder(const char* name) const { return QDir(folder.path()).filePath(name); }

    QTemporaryDir folder;
    QWidget owner;
    QtDialogServices services;
};

TEST_F(SaveDialogTest, OffersBothFiltersWithExcelSelected) {
    QStringList filters;
    QString selected;
    bool saveMode = false;
    bool confirmsOverwrite = false;
    const auto path = ask([&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        selected = dialog.selectedNameFilter();
        saveMode = dialog.acceptMode() == QFileDialog::AcceptSave;
        confirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
        dialog.reject();
    });
    EXPECT_FALSE(path.has_value()) << "cancel gives no path";
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Microsoft Excel-Datei (*.xls)"),
                                    QStringLiteral("Comma Separated Values(*.csv)")}));
    EXPECT_EQ(selected, QStringLiteral("Microsoft Excel-Datei (*.xls)"));
    EXPECT_TRUE(saveMode);
    EXPECT_TRUE(confirmsOverwrite);
}

TEST_F(SaveDialogTest, NameWithoutSuffixFollowsTheSelectedFilter) {
    struct Case {
        const char* filter;
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        {"Microsoft Excel-Datei (*.xls)", "ereignisse", "ereignisse.xls"},
        {"Comma Separated Values(*.csv)", "ereignisse", "ereignisse.csv"},
        {"Comma Separated Values(*.csv)", "liste.txt", "liste.txt"},
    };
    for (const Case& c : cases) {
        const auto path = ask([&](QFileDialog& dialog) {
            dialog.setDirectory(folder.path());
            dialog.selectNameFilter(QString::fromUtf8(c.filter));
            emit dialog.filterSelected(QString::fromUtf8(c.filter));
            dialog.selectFile(QString::fromUtf8(c.typed));
            static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept is protected
        });
        ASSERT_TRUE(path.has_value()) << c.typed;
        EXPECT_EQ(*path, inFolder(c.expected)) << "filter " << c.filter << ", typed " << c.typed;
    }
}

}  // namespace
}  // namespace ixan
