// SPDX-License-Identifier: GPL-3.0-or-later
// "账单记录" on Qt: the ledger's filters, list and buttons over the core's LedgerView.
#pragma once

#include "export/BillExport.hpp"
#include "ledger/LedgerView.hpp"

#include <QAbstractTableModel>
#include <QDialog>
#include <QUrl>

#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace logora::app {

// The listed rows, read from the view as they are painted: 100,000 bills cost nothing until
// they are scrolled to.
class LedgerModel : public QAbstractTableModel {
  public:
    explicit LedgerModel(const ledger::LedgerView& view) : view_(view) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void changed() {
        beginResetModel();
        endResetModel();
    }

  private:
    const ledger::LedgerView& view_;
};

class LedgerDialog : public QDialog {
    Q_OBJECT
  public:
    LedgerDialog(ledger::LedgerStore& store, exporting::Spreadsheet& spreadsheet,
                 const exporting::BillFolder& bills, exporting::ExportPrompts& prompts);

    // The records read again, the filters kept.
    void reload();
    const ledger::LedgerView& view() const { return view_; }
    QLineEdit* findField() { return find_; }
    QComboBox* periodBox() { return period_; }
    QDateEdit* fromDate() { return from_; }
    QDateEdit* toDate() { return to_; }
    QComboBox* sheetBox() { return sheet_; }
    QComboBox* viewBox() { return grouping_; }
    QTableView* table() { return table_; }
    QLabel* totals() { return totals_; }
    QPushButton* summaryButton() { return summary_; }
    QPushButton* voidButton() { return void_; }
    QPushButton* yardButton() { return yard_; }
    QLabel* stateLine() { return state_; }
    // "共享账本…": opens the window that joins the desk to a yard.
    std::function<void()> onYard;

    // "打开": the current bill with the desktop's viewer.
    void openCurrent();
    // "作废": asks the reason, then marks the current bill.
    void voidCurrent();

    // Seams: how a file is opened and how a reason is asked (empty: not voided).
    std::function<bool(const QUrl&)> openUrl;
    std::function<QString(const QString& question)> askReason;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void filterChanged();
    void viewsChanged();
    void say(const std::u16string& text);
    int currentRow() const;

    ledger::LedgerView view_;
    exporting::Spreadsheet& spreadsheet_;
    const exporting::BillFolder& bills_;
    exporting::ExportPrompts& prompts_;
    LedgerModel model_;
    QLineEdit* find_;
    QComboBox* period_;
    QDateEdit* from_;
    QDateEdit* to_;
    QComboBox* sheet_;
    QComboBox* grouping_;
    QTableView* table_;
    QLabel* totals_;
    QLabel* state_;
    QPushButton* yard_;
    QPushButton* open_;
    QPushButton* void_;
    QPushButton* summary_;
    QPushButton* close_;
};

} // namespace logora::app
