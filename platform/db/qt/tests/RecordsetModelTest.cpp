#include "platform/db/qt/RecordsetModel.h"

#include <QApplication>
#include <QTableView>

#include "platform/db/Recordset.h"
#include "platform/db/tests/TestDb.h"

namespace parlix::db::test {

class RecordsetModelTest : public TempDb {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
};

TEST_F(RecordsetModelTest, RowsAreCountedWholeAndFollowRequery) {
    db.begin();
    for (int i = 0; i < 600; ++i) queue("0123", "n" + std::to_string(i), "2026-01-02 03:04:05");
    db.commit();
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, {Cursor::Live, Lock::Optimistic, 0});
    RecordsetModel model;
    model.setRecordset(&rs);
    EXPECT_EQ(model.columnCount(), rs.fieldCount());
    EXPECT_EQ(model.rowCount(), 600) << "the true count at once, not the rows fetched so far";
    EXPECT_FALSE(model.canFetchMore({}));
    int name = rs.fieldIndex("Name");
    EXPECT_EQ(model.data(model.index(599, name)).toString(), "n599");
    EXPECT_FALSE(model.data(model.index(0, rs.fieldIndex("Lock"))).isValid()) << "Null shows empty";
    EXPECT_EQ(model.headerData(name, Qt::Horizontal).toString(), "Name");
    model.setLocaleDates(false);
    EXPECT_EQ(model.data(model.index(0, rs.fieldIndex("DateTimeQueue"))).toString(), "2026-01-02 03:04:05");

    EXPECT_TRUE(model.setCurrentRow(10));
    EXPECT_EQ(rs.text("Name"), "n10");

    rs.setFilter(Criteria::contains("Name", "59"));
    model.reload();
    EXPECT_EQ(model.rowCount(), 16);  // n59, n159, ..., n559 and n590..n599

    model.setColumnHidden(0, true);
    QTableView view;
    view.setModel(&model);
    model.hideColumns(&view);
    EXPECT_TRUE(view.isColumnHidden(0));
    EXPECT_FALSE(view.isColumnHidden(name));
}

}  // namespace parlix::db::test
