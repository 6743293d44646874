// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ComparisonDialog.hpp"

#include "app/Tables.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace logora::app {

namespace {

QString qs(const std::u16string& t) {
    return QString::fromStdU16String(t);
}

} // namespace

ComparisonDialog::ComparisonDialog(compare::ComparisonSource& session) : session_(session) {
    setWindowTitle(QStringLiteral("标准对照"));
    heading_ = new QLabel(this);
    table_ = new QTableWidget(this);
    const std::vector<std::u16string> heads = compare::columns();
    table_->setColumnCount(static_cast<int>(heads.size()));
    QStringList labels;
    for (const auto& h : heads) {
        // The rule's name over its figure, so the columns stay narrow.
        labels << qs(h)
                      .replace(QStringLiteral(" 材积"), QStringLiteral("\n材积"))
                      .replace(QStringLiteral(" 金额"), QStringLiteral("\n金额"))
                      .replace(QStringLiteral(" 相差"), QStringLiteral("\n相差"));
    }
    table_->setHorizontalHeaderLabels(labels);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    export_ = new QPushButton(QStringLiteral("导出"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(export_, &QPushButton::clicked, this, [this] { session_.exportComparison(which_); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(export_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(1100, 320);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &ComparisonDialog::refresh);
}

void ComparisonDialog::showFor(ui::Calculator which) {
    which_ = which;
    refresh();
    show();
    raise();
    activateWindow();
    timer_.start();
}

void ComparisonDialog::refresh() {
    const compare::Table& t = session_.comparison(which_);
    const QString heading = QStringLiteral("%1　所选检尺标准：%2　金额按当前单价")
                                .arg(which_ == ui::Calculator::List ? QStringLiteral("多材长")
                                                                    : QStringLiteral("原木计算"),
                                     qs(std::u16string(volume::ruleName(t.chosen))));
    if (heading_->text() != heading) {
        heading_->setText(heading);
    }
    std::vector<std::vector<QString>> rows;
    for (std::size_t r = 0; r <= t.rows.size(); ++r) {
        std::vector<QString>& texts = rows.emplace_back();
        for (const std::u16string& text :
             compare::rowTexts(t, r < t.rows.size() ? t.rows[r] : t.total)) {
            texts.push_back(qs(text));
        }
    }
    syncTable(table_, rows);
}

void ComparisonDialog::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

} // namespace logora::app
