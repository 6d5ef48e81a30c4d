#include "console/dialogs/frmTemplate.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "console/dialogs/frmNewSMS.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Views.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {
constexpr int kColumnTwips = 4335;
constexpr int kRowTwips = 550;
}  // namespace

frmTemplate* frmTemplate::instance(frmNewSMS* composer) {
    static frmTemplate* window = new frmTemplate(composer, composer);
    window->composer_ = composer;
    return window;
}

frmTemplate::frmTemplate(frmNewSMS* composer, QWidget* parent) : QDialog(parent), composer_(composer) {
    setObjectName("frmTemplate");
    setWindowTitle("Vovivaded Ezovaro - Template");
    setModal(true);
    lblCaption = new QLabel("Click for your template", this);
    lblCaption->setObjectName("DataGridTempCaption");
    lblCaption->setAlignment(Qt::AlignCenter);
    DataGridTemp = new QTableView(this);
    DataGridTemp->setObjectName("DataGridTemp");
    DataGridTemp->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGridTemp->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGridTemp->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGridTemp->setContextMenuPolicy(Qt::CustomContextMenu);
    model = new db::RecordsetModel(this);
    model->setLocaleDates(false);
    DataGridTemp->setModel(model);
    cmdInsert = new QPushButton("Insert ", this);
    cmdInsert->setObjectName("cmdInsert");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    mnuTemp = new QMenu("Template", this);
    mnuTemp->setObjectName("mnuTemp");
    mnuAddTemp = mnuTemp->addAction("Add Template");
    mnuAddTemp->setObjectName("mnuAddTemp");
    mnuDelTemp = mnuTemp->addAction("Delete Template");
    mnuDelTemp->setObjectName("mnuDelTemp");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdInsert);
    buttons->addWidget(cmdClose);
    auto* all = new QVBoxLayout(this);
    all->addWidget(lblCaption);
    all->addWidget(DataGridTemp, 1);
    all->addLayout(buttons);
    resize(TwipsToPixels(kColumnTwips) + 80, 420);

    connect(cmdInsert, &QPushButton::clicked, this, [this] { cmdInsert_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(DataGridTemp, &QTableView::doubleClicked, this, [this] { DataGridTemp_DblClick(); });
    connect(DataGridTemp, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { mnuTemp->popup(DataGridTemp->viewport()->mapToGlobal(at)); });
    connect(mnuAddTemp, &QAction::triggered, this, [this] { mnuAddTemp_Click(); });
    connect(mnuDelTemp, &QAction::triggered, this, [this] { mnuDelTemp_Click(); });
}

frmTemplate::~frmTemplate() { model->setRecordset(nullptr); }

int frmTemplate::showModal() {
    Form_Load();
    return exec();
}

void frmTemplate::Form_Load() {
    try {
        // A freshly opened shared connection at every opening; record sets opened
        // earlier (the main window's) keep the connection they were opened on.
        model->setRecordset(nullptr);
        rs.close();
        DbConnection = db::Connection();
        ConnectDB(DbConnection);
        rs.open(DbConnection, "SELECT * FROM Template", {}, {db::Cursor::Live, db::Lock::Optimistic});
        TempDataGrid();
    } catch (...) {
        LogCurrentException("Template : Form Load");
    }
}

void frmTemplate::TempDataGrid() {
    try {
        model->setRecordset(&rs);
        DataGridTemp->setColumnHidden(0, true);  // TemplateID
        for (int c = 0; c < model->columnCount(); ++c) DataGridTemp->setColumnWidth(c, TwipsToPixels(kColumnTwips));
        DataGridTemp->setWordWrap(true);
        // Fixed tall rows: 10,000 templates must not be measured one by one.
        DataGridTemp->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        DataGridTemp->verticalHeader()->setDefaultSectionSize(TwipsToPixels(kRowTwips));
        if (model->rowCount() > 0) setCurrentRow(0);
    } catch (...) {
        LogCurrentException("Template : Template DataGrid");
    }
}

int frmTemplate::currentRow() const {
    const QModelIndex i = DataGridTemp->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void frmTemplate::setCurrentRow(int row) { DataGridTemp->setCurrentIndex(model->index(row, 1)); }

std::string frmTemplate::currentText() {
    const int row = currentRow();
    if (row < 0 || !model->setCurrentRow(row)) throw db::DbError("no current template", 3021);
    return rs.text("Text");
}

void frmTemplate::cmdInsert_Click() {
    try {
        const std::string t = currentText();
        composer_->setMessageText(composer_->messageText() + t);
    } catch (...) {
        LogCurrentException("Template : insert template on SMS");
    }
}

void frmTemplate::DataGridTemp_DblClick() {
    try {
        composer_->setMessageText(currentText());
    } catch (...) {
        LogCurrentException("Template : append template on SMS");
    }
}

void frmTemplate::mnuAddTemp_Click() {
    try {
        const std::string text = ui::inputBox("Please input the template message", "Vovivaded Ezovaro - New template message");
        if (text.empty()) {
            ui::msgBox("You haven't input any template message", ui::vbExclamation, "Vovivaded Ezovaro - Warning");
            return;
        }
        rs.addNew();
        rs.setField("Text", text);
        rs.update();
        model->reload();
        ui::msgBox("Template message is saved", ui::vbInformation, "Vovivaded Ezovaro - Save Template");
    } catch (...) {
        if (rs.editing()) rs.cancelUpdate();
        LogCurrentException("Template : mnuAddTemp");
    }
}

void frmTemplate::mnuDelTemp_Click() {
    try {
        const int row = currentRow();
        if (row < 0 || !model->setCurrentRow(row)) throw db::DbError("no current template", 3021);
        const std::int64_t id = rs.integer("TemplateID");  // 64-bit: any ID the table gives
        if (ui::msgBox("Are you sure you want to delete the selected template?", ui::vbYesNo + ui::vbQuestion,
                       "Vovivaded Ezovaro - Delete Record") != ui::vbYes)
            return;
        if (!rs.find(db::Criteria::equals("TemplateID", static_cast<long long>(id))))
            throw db::DbError("template " + std::to_string(id) + " is no longer there", 3021);
        rs.deleteRow();
        model->reload();
        if (model->rowCount() > 0) setCurrentRow(std::min(row, model->rowCount() - 1));
        ui::msgBox("Template message is deleted", ui::vbInformation, "Vovivaded Ezovaro - Delete Template");
    } catch (...) {
        LogCurrentException("Template : mnuDelTemp");
    }
}

void frmTemplate::cmdClose_Click() { close(); }

void frmTemplate::Form_Unload() {
    model->setRecordset(nullptr);
    rs.close();
}

void frmTemplate::closeEvent(QCloseEvent* event) {
    Form_Unload();
    QDialog::closeEvent(event);
}

}  // namespace parlix::console
