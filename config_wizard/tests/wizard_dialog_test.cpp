// The wizard dialog on the offscreen platform, with the message boxes and the file
// dialog answered by the test and systemctl replaced by a recording script.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

#include "common/config.h"
#include "common/qt/dialog_units.h"
#include "config_wizard/config_writer.h"
#include "config_wizard/ixanconfig_app.h"
#include "config_wizard/ixanconfig_dlg.h"
#include "config_wizard/tests/fake_systemctl.h"
#include "service/systemd_service_manager.h"

namespace ixan {
namespace {

using Dlg = CixanconfigDlg;

struct Prompt {
    std::string kind;  // "message", "question", "file"
    QString caption;
    QString text;
};

// Answers in the order queued; a question or file dialog nobody expected fails the test.
class ScriptedPrompts final : public WizardPrompts {
  public:
    void showMessage(QWidget*, const QString& caption, const QString& text) override {
        seen.push_back({"message", caption, text});
    }
    bool askOkCancel(QWidget*, const QString& caption, const QString& text) override {
        seen.push_back({"question", caption, text});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    }
    std::optional<QString> chooseSaveFile(QWidget*, const SaveFileRequest& request) override {
        seen.push_back({"file", QString(), QString()});
        lastRequest = request;
        if (files.empty()) {
            ADD_FAILURE() << "unexpected file dialog";
            return std::nullopt;
        }
        auto f = files.front();
        files.pop_front();
        return f;
    }

    std::deque<bool> answers;
    std::deque<std::optional<QString>> files;
    std::vector<Prompt> seen;
    SaveFileRequest lastRequest;
};

class WizardDialog : public testing::Test {
  protected:
    void SetUp() override {
        processConfig() = Config{};
        config_ = dir_.file("ixan.ini");
        test::writeFile(registry_, "path=" + config_ + "\n");
        fake_.installService();
    }
    void TearDown() override { processConfig() = Config{}; }

    // Loads the configuration as the application start does, then builds the dialog.
    std::unique_ptr<Dlg> open(const std::string& fileText) {
        test::writeFile(config_, fileText);
        loadStartupConfiguration(prompts_);
        auto dlg = std::make_unique<Dlg>(prompts_, services_);
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }

    static QListWidget* list(Dlg& d) {
        return qobject_cast<QListWidget*>(d.control(Dlg::kIdDeviceList));
    }
    static QLineEdit* address(Dlg& d) {
        return qobject_cast<QLineEdit*>(d.control(Dlg::kIdAddressEdit));
    }
    static QLineEdit* logPath(Dlg& d) {
        return qobject_cast<QLineEdit*>(d.control(Dlg::kIdLogPathEdit));
    }
    static QPushButton* button(Dlg& d, int id) { return qobject_cast<QPushButton*>(d.control(id)); }
    static void click(Dlg& d, int id) { QTest::mouseClick(button(d, id), Qt::LeftButton); }
    static std::vector<std::string> entries(Dlg& d) { return d.deviceEntries(); }
    static void type(Dlg& d, const QString& text) {
        address(d)->setFocus();
        address(d)->setText(text);
    }

    test::TempDir dir_;
    std::string registry_ = dir_.file("registry");
    test::ScopedEnv env_{"IXAN_REGISTRY", registry_};
    std::string config_;
    test::FakeSystemctl fake_;
    SystemdServiceManager services_{SystemdSettings{fake_.unitDir(), fake_.program()}};
    ScriptedPrompts prompts_;
};

const std::string kTwoDevices =
    "[Global]\r\ndsn=nodsn\r\nuser=\r\npass=\r\nlog=/srv/ixan/ixansys.log\r\n"
    "[192.168.0.10]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n"
    "[door]\r\nhost=192.168.0.11\r\n";

TEST_F(WizardDialog, TemplateLayoutTextsAndIds) {
    auto d = open(kTwoDevices);
    EXPECT_EQ(d->windowTitle(), "IXAN Config");
    EXPECT_EQ(d->property("templateId").toInt(), 102);
    const DialogBaseUnits base = dialogBaseUnits(d->font());
    EXPECT_EQ(d->size(), mapDialogRect(QRect(0, 0, 320, 200), base).size());
    EXPECT_EQ(d->minimumSize(), d->maximumSize()) << "fixed size";

    struct Control {
        int id;
        const char* type;
        QString text;
        QRect du;
    };
    const std::vector<Control> controls = {
        {Dlg::kIdOk, "QPushButton", "Fertigstellen", {263, 177, 50, 16}},
        {Dlg::kIdCancel, "QPushButton", "Abbrechen", {7, 177, 50, 16}},
        {Dlg::kIdDeviceList, "QListWidget", "", {25, 89, 190, 70}},
        {Dlg::kIdAddressEdit, "QLineEdit", "", {25, 71, 191, 13}},
        {Dlg::kIdAddButton, "QPushButton", QString::fromUtf8("hinzufügen"), {226, 70, 63, 14}},
        {Dlg::kIdBrowseButton, "QPushButton", "...", {267, 28, 22, 14}},
        {Dlg::kIdDeleteButton, "QPushButton", QString::fromUtf8("löschen"), {226, 91, 63, 14}},
        {Dlg::kIdLogPathEdit, "QLineEdit", "/srv/ixan/ixansys.log", {23, 29, 238, 12}},
    };
    for (const Control& c : controls) {
        QWidget* w = d->control(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_TRUE(w->inherits(c.type)) << c.id;
        EXPECT_EQ(w->geometry(), mapDialogRect(c.du, base)) << c.id;
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(b->text(), c.text) << c.id;
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            EXPECT_EQ(e->text(), c.text) << c.id;
        }
    }
    const auto groups = d->findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 2);
    QStringList titles;
    for (auto* g : groups) {
        titles << g->title();
    }
    EXPECT_TRUE(
        titles.contains(QString::fromUtf8("Bitte wählen Sie einen Speicherort für die Log-Datei")));
    EXPECT_TRUE(titles.contains("Bitte tragen Sie die IXANs ein"));

    // Tab order follows the template.
    std::vector<int> tabOrder;
    QWidget* w = d->control(Dlg::kIdOk);
    do {
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->parentWidget() == d.get()) {
            tabOrder.push_back(w->property(kControlIdProperty).toInt());
        }
        w = w->nextInFocusChain();
    } while (w != d->control(Dlg::kIdOk));
    EXPECT_EQ(tabOrder,
              (std::vector<int>{Dlg::kIdOk, Dlg::kIdCancel, Dlg::kIdDeviceList, Dlg::kIdAddressEdit,
                                Dlg::kIdAddButton, Dlg::kIdBrowseButton, Dlg::kIdDeleteButton,
                                Dlg::kIdLogPathEdit}));
    EXPECT_TRUE(d->isWindow());
    EXPECT_TRUE(d->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(d->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    EXPECT_TRUE(button(*d, Dlg::kIdAddButton)->isDefault());
    EXPECT_TRUE(logPath(*d)->isReadOnly());
    EXPECT_FALSE(list(*d)->isSortingEnabled());
    EXPECT_EQ(entries(*d), (std::vector<std::string>{"192.168.0.10", "192.168.0.11"}));
    EXPECT_TRUE(prompts_.seen.empty());
}

TEST_F(WizardDialog, MissingConfigurationIsReportedAtStartAndDefaultsShown) {
    loadStartupConfiguration(prompts_);
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_EQ(prompts_.seen[0].kind, "message");
    EXPECT_EQ(prompts_.seen[0].caption, "ixan-config");
    EXPECT_EQ(prompts_.seen[0].text.toStdString(),
              "INI-Datei konnte nicht gefunden werden.\n" + config_);
    Dlg d(prompts_, services_);
    EXPECT_EQ(logPath(d)->text(), "/var/log/ixansys.log");
    EXPECT_EQ(list(d)->count(), 0);
}

TEST_F(WizardDialog, AddTrimsBlanksKeepsDuplicatesAndBlankOnlyClears) {
    auto d = open("[Global]\n");
    struct Step {
        QString typed;
        std::vector<std::string> list;
    };
    const std::vector<Step> steps = {
        {"  10.0.0.5 \t", {"10.0.0.5"}},
        {"   ", {"10.0.0.5"}},
        {"", {"10.0.0.5"}},
        {"10.0.0.5", {"10.0.0.5", "10.0.0.5"}},
        {"a b", {"10.0.0.5", "10.0.0.5", "a b"}},
    };
    for (const Step& s : steps) {
        type(*d, s.typed);
        click(*d, Dlg::kIdAddButton);
        EXPECT_EQ(entries(*d), s.list) << "typed '" << s.typed.toStdString() << "'";
        EXPECT_TRUE(address(*d)->text().isEmpty()) << "typed '" << s.typed.toStdString() << "'";
    }
    EXPECT_TRUE(prompts_.seen.empty());
}

TEST_F(WizardDialog, EnterAddsAndDoesNotFinish) {
    const std::string before = "[Global]\ndsn=keep\n";
    auto d = open(before);
    address(*d)->setFocus();
    QTest::keyClicks(address(*d), " 10.0.0.7 ");
    QTest::keyClick(address(*d), Qt::Key_Return);
    QTest::keyClicks(address(*d), "10.0.0.8");
    QTest::keyClick(address(*d), Qt::Key_Enter);
    EXPECT_EQ(entries(*d), (std::vector<std::string>{"10.0.0.7", "10.0.0.8"}));
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(prompts_.seen.empty());
    EXPECT_EQ(test::readFile(config_), before);
    EXPECT_TRUE(fake_.calls().empty());
}

TEST_F(WizardDialog, DeleteRemovesTheSelectedEntryOnly) {
    auto d = open("[a]\n[b]\n[c]\n");
    click(*d, Dlg::kIdDeleteButton);
    EXPECT_EQ(entries(*d), (std::vector<std::string>{"a", "b", "c"})) << "nothing selected";
    list(*d)->setCurrentRow(1);
    click(*d, Dlg::kIdDeleteButton);
    EXPECT_EQ(entries(*d), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(list(*d)->selectedItems().isEmpty()) << "nothing selected afterwards";
    click(*d, Dlg::kIdDeleteButton);
    EXPECT_EQ(entries(*d), (std::vector<std::string>{"a", "c"}));
}

TEST_F(WizardDialog, CancelAsksAndOkClosesWithoutWritingOrTouchingTheService) {
    const std::string before = "[Global]\ndsn=keep\n[a]\n";
    struct Way {
        const char* what;
        std::function<void(Dlg&)> cancel;
    };
    const std::vector<Way> ways = {
        {"button", [](Dlg& d) { click(d, Dlg::kIdCancel); }},
        {"Escape", [](Dlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](Dlg& d) { d.close(); }},
    };
    for (const Way& w : ways) {
        processConfig() = Config{};
        prompts_.seen.clear();
        auto d = open(before);
        type(*d, "new");
        click(*d, Dlg::kIdAddButton);

        prompts_.answers = {false};
        w.cancel(*d);
        ASSERT_EQ(prompts_.seen.size(), 1u) << w.what;
        EXPECT_EQ(prompts_.seen[0].kind, "question") << w.what;
        EXPECT_EQ(prompts_.seen[0].caption, "Abbrechen?") << w.what;
        EXPECT_EQ(prompts_.seen[0].text,
                  "Wenn Sie abbrechen wird die Konfiguration nicht geschrieben.\n"
                  "Wollen Sie wirklich abbrechen?")
            << w.what;
        EXPECT_TRUE(d->isVisible()) << w.what << ": Cancel returns to the dialog";

        prompts_.answers = {true};
        w.cancel(*d);
        EXPECT_FALSE(d->isVisible()) << w.what;
        EXPECT_EQ(d->result(), QDialog::Rejected) << w.what;
        EXPECT_EQ(test::readFile(config_), before) << w.what;
        EXPECT_TRUE(fake_.calls().empty()) << w.what;
    }
}

TEST_F(WizardDialog, FinishWithEmptyListAsksAndOkWritesWithoutRestart) {
    const std::string before = "[Global]\r\ndsn=nodsn\r\n";
    auto d = open(before);

    prompts_.answers = {false};
    click(*d, Dlg::kIdOk);
    ASSERT_EQ(prompts_.seen.size(), 1u);
    EXPECT_EQ(prompts_.seen[0].caption, "ixan-config");
    EXPECT_EQ(prompts_.seen[0].text,
              "Sie haben noch keine IXAN angelegt\n Wollen Sie wirklich beenden?");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(test::readFile(config_), before);

    prompts_.answers = {true};
    click(*d, Dlg::kIdOk);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(test::readFile(config_),
              "[Global]\r\ndsn=nodsn\r\nuser=\r\npass=\r\nlog=/var/log/ixansys.log\r\n");
    EXPECT_TRUE(fake_.calls().empty());
    EXPECT_EQ(prompts_.seen.size(), 2u);
}

TEST_F(WizardDialog, FinishWritesThenStopsThenStartsThenCloses) {
    auto d = open(kTwoDevices);
    type(*d, "10.0.0.9");
    click(*d, Dlg::kIdAddButton);
    // The file must be complete before the service is stopped.
    fake_.slowVerb("stop");
    click(*d, Dlg::kIdOk);
    EXPECT_TRUE(prompts_.seen.empty());
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(test::readFile(config_),
              "[Global]\r\ndsn=nodsn\r\nuser=\r\npass=\r\nlog=/srv/ixan/ixansys.log\r\n"
              "[192.168.0.10]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n"
              "[192.168.0.11]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n"
              "[10.0.0.9]\r\nuser=Service\r\npass=Fenwix\r\ninterval=300\r\n");
    EXPECT_EQ(
        fake_.serviceRequests(),
        (std::vector<std::string>{"stop IXAN.service", "stop finished", "start IXAN.service"}));
}

TEST_F(WizardDialog, FailedWriteKeepsTheDialogOpenAndTheServiceAlone) {
    auto d = open("[Global]\n[a]\n");
    test::writeFile(registry_, "path=" + dir_.file("missing/ixan.ini") + "\n");
    click(*d, Dlg::kIdOk);
    ASSERT_EQ(prompts_.seen.size(), 2u);
    EXPECT_EQ(prompts_.seen[0].text.toStdString(),
              "INI-Datei konnte nicht gefunden werden.\n" + dir_.file("missing/ixan.ini"));
    EXPECT_EQ(prompts_.seen[1].kind, "message");
    EXPECT_EQ(prompts_.seen[1].caption, "ixan-config");
    EXPECT_EQ(prompts_.seen[1].text, "INI-Datei kann nicht geschrieben werden.");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(entries(*d), std::vector<std::string>{"a"});
    EXPECT_TRUE(fake_.calls().empty());
}

TEST_F(WizardDialog, FileDialogChoiceSetsThePathAndCancelKeepsIt) {
    const std::string logDir = dir_.file("logs");
    std::filesystem::create_directory(logDir);
    auto d = open("[Global]\nlog=" + logDir + "/ixansys.log\n");

    prompts_.files = {std::nullopt};
    click(*d, Dlg::kIdBrowseButton);
    EXPECT_EQ(logPath(*d)->text().toStdString(), logDir + "/ixansys.log");
    const SaveFileRequest& r = prompts_.lastRequest;
    EXPECT_EQ(r.defaultSuffix, "log");
    EXPECT_EQ(r.initialName, "ixansys");
    EXPECT_EQ(r.filter, "IXAN Log-Datei (*.log)");
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_EQ(r.initialFolder.toStdString(), logDir);

    prompts_.files = {QString::fromStdString(logDir + "/neu.log")};
    click(*d, Dlg::kIdBrowseButton);
    EXPECT_EQ(logPath(*d)->text().toStdString(), logDir + "/neu.log");

    // The chosen path is what gets written.
    type(*d, "x");
    click(*d, Dlg::kIdAddButton);
    click(*d, Dlg::kIdOk);
    Config back;
    ASSERT_TRUE(loadConfig(back, config_, ConfigReader::Pollwerk));
    EXPECT_EQ(back.global.log, logDir + "/neu.log");
}

TEST_F(WizardDialog, LogPathCannotBeTypedInto) {
    auto d = open("[Global]\nlog=/var/log/x.log\n");
    logPath(*d)->setFocus();
    QTest::keyClicks(logPath(*d), "abc");
    QTest::keyClick(logPath(*d), Qt::Key_Backspace);
    EXPECT_EQ(logPath(*d)->text(), "/var/log/x.log");
}

// The real prompts: message boxes without icon, the buttons asked for, and the file
// dialog set up as requested. Each is inspected and closed from a timer while it runs.
template <typename W>
void whenShown(std::function<void(W*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (w == nullptr) {
            ADD_FAILURE() << "no modal dialog shown";
            return;
        }
        inspect(w);
    });
}

TEST(QtWizardPrompts, MessageBoxesHaveNoIconAndTheAskedButtons) {
    QtWizardPrompts prompts;
    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->windowTitle(), "ixan-config");
        EXPECT_EQ(box->text(), "INI-Datei kann nicht geschrieben werden.");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    prompts.showMessage(nullptr, "ixan-config", "INI-Datei kann nicht geschrieben werden.");

    for (bool ok : {true, false}) {
        whenShown<QMessageBox>([ok](QMessageBox* box) {
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->windowTitle(), "Abbrechen?");
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
        });
        EXPECT_EQ(prompts.askOkCancel(nullptr, "Abbrechen?", "Frage"), ok);
    }
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_FALSE(prompts.askOkCancel(nullptr, "Abbrechen?", "Frage")) << "Escape is Cancel";
}

TEST(QtWizardPrompts, SaveDialogIsSetUpAsRequested) {
    test::TempDir dir;
    QtWizardPrompts prompts;
    SaveFileRequest request;
    request.defaultSuffix = "log";
    request.initialName = "ixansys";
    request.filter = "IXAN Log-Datei (*.log)";
    request.initialFolder = QString::fromStdString(dir.path().string());
    for (bool accept : {false, true}) {
        whenShown<QFileDialog>([&, accept](QFileDialog* fd) {
            EXPECT_EQ(fd->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(fd->defaultSuffix(), "log");
            EXPECT_EQ(fd->nameFilters(), QStringList{"IXAN Log-Datei (*.log)"});
            EXPECT_FALSE(fd->testOption(QFileDialog::DontConfirmOverwrite));
            EXPECT_EQ(fd->directory().absolutePath().toStdString(), dir.path().string());
            if (accept) {
                static_cast<QDialog*>(fd)->accept();
            } else {
                fd->reject();
            }
        });
        const auto chosen = prompts.chooseSaveFile(nullptr, request);
        if (accept) {
            ASSERT_TRUE(chosen.has_value());
            EXPECT_EQ(chosen->toStdString(), dir.path().string() + "/ixansys.log");
        } else {
            EXPECT_FALSE(chosen.has_value());
        }
    }
}

}  // namespace
}  // namespace ixan

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
