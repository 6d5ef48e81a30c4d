// A fresh program folder and database for tests of the main window and the windows it
// opens, with scripted boxes and helpers that store contacts and groups as the
// console does.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>

#include "console/dialogs/frmContact.h"
#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Main1.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console::test {

class MainWindowDb : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }
    void SetUp() override {
        root = makeTestRoot("mainwindow");
        SetAppPath(root.string());
        DbConnection.close();
        ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
        c.open(schema::databasePath(root.string()), schema::kDatabaseKey);
        General::setPopupHook([](QMenu*, const QPoint&) {});
        EditContact = EditFromGroup = ChangeExistingContact = false;
        CurrentContactID = 0;
    }
    void TearDown() override {
        // The editor is one window for the run: it is put away, never kept between tests.
        if (frmContact* e = frmContact::existing()) {
            e->SkipClosePrompt = true;
            e->close();
        }
        w.reset();
        General::setPopupHook(nullptr);
        c.close();
        DbConnection.close();
        if (!HasFailure()) std::filesystem::remove_all(root);
    }
    void open() { w = std::make_unique<General>(); }

    std::int64_t contact(const std::string& name, const std::string& mobile, const std::string& company = "") {
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, ?)", {name, mobile, company});
        return c.lastInsertId();
    }
    void group(const std::string& name, const std::vector<std::int64_t>& members = {}) {
        c.execute("INSERT INTO Groups (GroupName) VALUES (?)", {name});
        for (auto id : members)
            c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT ?, ContactID, Mobile FROM AddressBook "
                      "WHERE ContactID = ?",
                      {name, static_cast<long long>(id)});
    }
    std::int64_t n(const std::string& sql, const db::Params& p = {}) { return c.scalar(sql, p)->asInt(); }
    std::vector<std::string> groupNodes() {
        std::vector<std::string> out;
        QTreeWidgetItem* book = w->node(NodeKind::AddressBook);
        for (int i = 0; i < book->childCount(); ++i) out.push_back(General::textOf(book->child(i)));
        return out;
    }
    void click(NodeKind kind, const std::string& text = {}) {
        QTreeWidgetItem* item = w->node(kind, text);
        ASSERT_TRUE(item) << text;
        w->tvwMessage_NodeClick(item);
    }
    void selectRows(const std::vector<int>& rows) {
        w->DataGrid->clearSelection();
        for (int r : rows)
            w->DataGrid->selectionModel()->select(w->DataGridModel->index(r, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (!rows.empty())
            w->DataGrid->selectionModel()->setCurrentIndex(w->DataGridModel->index(rows.front(), 0),
                                                           QItemSelectionModel::NoUpdate);
    }
    std::string caption() { return w->frmContent->title().toStdString(); }
    std::string errorLog() {
        std::ifstream in(root / kErrorLogName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Runs `step` once the next modal window waits (a modal exec blocks the test).
    static void whenModal(std::function<void()> step) { QTimer::singleShot(0, std::move(step)); }

    std::filesystem::path root;
    db::Connection c;
    ui::ScriptedDialogs boxes;
    std::unique_ptr<General> w;
};

}  // namespace parlix::console::test
