// SPDX-License-Identifier: GPL-3.0-or-later
// "标准对照" on Qt: the log calculator's tally under every rule, kept current at the tick.
#pragma once

#include "compare/Comparison.hpp"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;
class QTableWidget;

namespace logora::app {

class ComparisonDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ComparisonDialog(compare::ComparisonSource& session);

    // Shows the tally of the calculator the button was pressed in.
    void showFor(ui::Calculator which);
    // The table worked out again; only cells whose text changed are written.
    void refresh();

    QTableWidget* table() { return table_; }
    QLabel* heading() { return heading_; }
    QPushButton* exportButton() { return export_; }

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    compare::ComparisonSource& session_;
    ui::Calculator which_ = ui::Calculator::Grid;
    QLabel* heading_;
    QTableWidget* table_;
    QPushButton* export_;
    QTimer timer_;
};

} // namespace logora::app
