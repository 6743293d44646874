// SPDX-License-Identifier: GPL-3.0-or-later
// "价格明细" on Qt: the price list in force for the calculator's tally, a chooser to pick
// another for this tally, and the tally by the list's cells, kept current at the tick.
#pragma once

#include "prices/PriceDetail.hpp"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace logora::app {

class PriceDetailDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PriceDetailDialog(prices::DetailSource& session);

    void showFor(ui::Calculator which);
    // The detail read again; only what changed is written.
    void refresh();

    QComboBox* chooser() { return chooser_; }
    QTableWidget* table() { return table_; }
    QLabel* unpriced() { return unpriced_; }

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    prices::DetailSource& session_;
    ui::Calculator which_ = ui::Calculator::Grid;
    QComboBox* chooser_;
    QLabel* inForce_;
    QTableWidget* table_;
    QLabel* unpriced_;
    QTimer timer_;
};

} // namespace logora::app
