// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PriceDetailDialog.hpp"

#include "app/Tables.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace logora::app {

namespace {

QString qs(std::u16string_view t) {
    return QString::fromStdU16String(std::u16string(t));
}

} // namespace

PriceDetailDialog::PriceDetailDialog(prices::DetailSource& session) : session_(session) {
    setWindowTitle(QStringLiteral("价格明细"));
    chooser_ = new QComboBox(this);
    chooser_->setObjectName(QStringLiteral("chooser"));
    inForce_ = new QLabel(this);
    table_ = new QTableWidget(0, 5, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("分档"), QStringLiteral("件数"),
                                       QStringLiteral("材积"), QStringLiteral("单价"),
                                       QStringLiteral("金额")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    unpriced_ = new QLabel(this);
    unpriced_->setWordWrap(true);
    unpriced_->setStyleSheet(QStringLiteral("color: #a00000"));
    auto* lists = new QPushButton(QStringLiteral("价格表…"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(chooser_, &QComboBox::activated, this,
            [this](int) { session_.pickList(which_, chooser_->currentText().toStdU16String()); });
    connect(lists, &QPushButton::clicked, this, [this] { session_.openPriceLists(); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("本单用："), this));
    top->addWidget(chooser_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(lists);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(inForce_);
    layout->addWidget(table_);
    layout->addWidget(unpriced_);
    layout->addLayout(buttons);
    resize(620, 420);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &PriceDetailDialog::refresh);
}

void PriceDetailDialog::showFor(ui::Calculator which) {
    which_ = which;
    refresh();
    show();
    raise();
    activateWindow();
    timer_.start();
}

void PriceDetailDialog::refresh() {
    const prices::Detail& d = session_.priceDetail(which_);
    QStringList choices;
    for (const auto& c : d.choices) {
        choices << qs(c);
    }
    QStringList shown;
    for (int i = 0; i < chooser_->count(); ++i) {
        shown << chooser_->itemText(i);
    }
    if (shown != choices) {
        chooser_->clear();
        chooser_->addItems(choices);
    }
    if (chooser_->currentText() != qs(d.picked)) {
        chooser_->setCurrentIndex(std::max(0, chooser_->findText(qs(d.picked))));
    }
    const QString inForce = QStringLiteral("按价格表计价：") + qs(d.inForce);
    if (inForce_->text() != inForce) {
        inForce_->setText(inForce);
    }
    std::vector<std::vector<QString>> rows;
    for (const prices::DetailRow& row : d.rows) {
        rows.push_back(
            {qs(row.label), qs(row.pieces), qs(row.volume), qs(row.price), qs(row.amount)});
    }
    syncTable(table_, rows);
    if (unpriced_->text() != qs(d.unpriced)) {
        unpriced_->setText(qs(d.unpriced));
    }
}

void PriceDetailDialog::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

} // namespace logora::app
