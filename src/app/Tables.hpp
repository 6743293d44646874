// SPDX-License-Identifier: GPL-3.0-or-later
// The program's tables beside the calculators (标准对照, 价格明细) brought up to their rows.
#pragma once

#include <QString>
#include <QTableWidget>

#include <vector>

namespace logora::app {

// Rows of texts into the table, a cell written only when it changed; the first column reads
// from the left, the figures from the right.
inline void syncTable(QTableWidget* table, const std::vector<std::vector<QString>>& rows) {
    const int count = static_cast<int>(rows.size());
    if (table->rowCount() != count) {
        table->setRowCount(count);
    }
    for (int r = 0; r < count; ++r) {
        const auto& texts = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < static_cast<int>(texts.size()); ++c) {
            QTableWidgetItem* item = table->item(r, c);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                              : Qt::AlignRight | Qt::AlignVCenter);
                table->setItem(r, c, item);
            }
            if (item->text() != texts[static_cast<std::size_t>(c)]) {
                item->setText(texts[static_cast<std::size_t>(c)]);
            }
        }
    }
}

} // namespace logora::app
