// frmTo "Vovivaded Ezovaro - Address Book": the recipient picker. Ticked groups and
// contacts become the composer's recipient entries; the composer's entries are
// ticked when the picker opens. Modal; rebuilt from the database at every opening.
#pragma once

#include <QAbstractListModel>
#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QListView;
class QPushButton;
class QTabWidget;

namespace parlix::console {

class frmNewSMS;

// A list of texts with a check box each; ticking every item is one change, so
// "All Contacts" over 50,000 contacts stays instant.
class CheckListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void setItems(std::vector<std::string> texts, std::vector<bool> checked);
    int count() const { return static_cast<int>(texts_.size()); }
    const std::string& text(int row) const { return texts_[static_cast<std::size_t>(row)]; }
    bool isChecked(int row) const { return checked_[static_cast<std::size_t>(row)] != 0; }
    void setChecked(int row, bool on);
    void setAll(bool on);
    std::vector<std::string> checkedTexts() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<std::string> texts_;
    std::vector<char> checked_;
};

class frmTo : public QDialog {
    Q_OBJECT
public:
    static frmTo* instance(frmNewSMS* composer);
    explicit frmTo(frmNewSMS* composer, QWidget* parent = nullptr);

    int showModal();  // loads, then waits for OK or Cancel

    QTabWidget* SSTabTo;
    QListView *lvwGroup, *lvwIndividual;
    CheckListModel *groups, *contacts;
    QCheckBox *chkALLGroup, *chkALLInd;
    QPushButton *cmdOK, *cmdCancel;

    void Form_Load();
    void chkALLGroup_Click();
    void chkALLInd_Click();
    void cmdOK_Click();
    bool SelectGroup();
    void SelectInd();
    void cmdCancel_Click();

private:
    frmNewSMS* composer_;
};

}  // namespace parlix::console
